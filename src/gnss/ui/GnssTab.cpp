#include "gnss/ui/GnssTab.h"

#include "ui_GnssTab.h"

namespace ktx {

GnssTab::GnssTab(AppContext& context, QWidget* parent) : QWidget(parent), ui(new Ui::GnssTab), context_(context)
{
    ui->setupUi(this);
    (void)context_;
}

GnssTab::~GnssTab()
{
    delete ui;
}

}  // namespace ktx
