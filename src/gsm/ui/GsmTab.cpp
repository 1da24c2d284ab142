#include "gsm/ui/GsmTab.h"

#include "ui_GsmTab.h"

namespace ktx {

GsmTab::GsmTab(AppContext& context, QTimer* timer1, QWidget* parent)
    : QWidget(parent), ui(new Ui::GsmTab), context_(context), timer1_(timer1)
{
    ui->setupUi(this);
    (void)timer1_;
}

GsmTab::~GsmTab()
{
    delete ui;
}

void GsmTab::ReadGSMParamsClick()
{
    (void)context_;
}

void GsmTab::Button13Click()
{
}

}  // namespace ktx
