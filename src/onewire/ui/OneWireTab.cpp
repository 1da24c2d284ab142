#include "onewire/ui/OneWireTab.h"

#include "ui_OneWireTab.h"

namespace ktx {

OneWireTab::OneWireTab(AppContext& context, QTimer* timer4, QWidget* parent)
    : QWidget(parent), ui(new Ui::OneWireTab), context_(context), timer4_(timer4)
{
    ui->setupUi(this);
    (void)context_;
    (void)timer4_;
}

OneWireTab::~OneWireTab()
{
    delete ui;
}

}  // namespace ktx
