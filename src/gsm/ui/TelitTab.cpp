#include "gsm/ui/TelitTab.h"

#include "ui_TelitTab.h"

namespace ktx {

TelitTab::TelitTab(AppContext& context, QWidget* parent) : QWidget(parent), ui(new Ui::TelitTab), context_(context)
{
    ui->setupUi(this);
    (void)context_;
}

TelitTab::~TelitTab()
{
    delete ui;
}

}  // namespace ktx
