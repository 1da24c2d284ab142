#include "gsm/ui/TelitTab.h"

#include "ui_TelitTab.h"

namespace ktx {

TelitTab::TelitTab(AppContext& context, std::array<QTimer*, 5> pollTimers, GsmTab* gsm, QWidget* parent)
    : QWidget(parent), ui(new Ui::TelitTab), context_(context), pollTimers_(pollTimers), gsm_(gsm)
{
    ui->setupUi(this);
    (void)context_;
    (void)gsm_;
}

TelitTab::~TelitTab()
{
    delete ui;
}

}  // namespace ktx
