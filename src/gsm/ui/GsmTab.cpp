#include "gsm/ui/GsmTab.h"

#include "ui_GsmTab.h"

namespace ktx {

GsmTab::GsmTab(AppContext& context, QWidget* parent) : QWidget(parent), ui(new Ui::GsmTab), context_(context)
{
    ui->setupUi(this);
}

GsmTab::~GsmTab()
{
    delete ui;
}

void GsmTab::ReadGSMParamsClick()
{
    (void)context_;
}

}  // namespace ktx
