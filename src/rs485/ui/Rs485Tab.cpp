#include "rs485/ui/Rs485Tab.h"

#include "ui_Rs485Tab.h"

namespace ktx {

Rs485Tab::Rs485Tab(AppContext& context, QTimer* timer2, QTimer* timer5, QWidget* parent)
    : QWidget(parent), ui(new Ui::Rs485Tab), context_(context), timer2_(timer2), timer5_(timer5)
{
    ui->setupUi(this);
    (void)context_;
    (void)timer5_;
    // toggled, not clicked: unchecking from code (a tab change) must stop the poll too.
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &Rs485Tab::CheckBox1Click);
    connect(ui->Button14, &QPushButton::clicked, this, &Rs485Tab::Button14Click);
}

Rs485Tab::~Rs485Tab()
{
    delete ui;
}

void Rs485Tab::CheckBox1Click()
{
    if (ui->CheckBox1->isChecked())
        timer2_->start();
    else
        timer2_->stop();
}

void Rs485Tab::Button14Click()
{
    ui->CheckBox1->setChecked(!ui->CheckBox1->isChecked());
}

std::array<QLineEdit*, 8> Rs485Tab::addressEdits() const
{
    return {ui->LLSAddr1, ui->LLSAddr2, ui->LLSAddr3, ui->LLSAddr4,
            ui->LLSAddr5, ui->LLSAddr6, ui->LLSAddr7, ui->LLSAddr8};
}

}  // namespace ktx
