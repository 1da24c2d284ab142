#include "io/ui/InputsTab.h"

#include "ui_InputsTab.h"

namespace ktx {

InputsTab::InputsTab(AppContext& context, QTimer* timer1, QTimer* timer6, QWidget* parent)
    : QWidget(parent), ui(new Ui::InputsTab), context_(context), timer1_(timer1), timer6_(timer6)
{
    ui->setupUi(this);
    connect(ui->Program, &QPushButton::clicked, this, &InputsTab::ProgramClick);
}

InputsTab::~InputsTab()
{
    delete ui;
}

void InputsTab::ProgramClick()
{
    ui->WorkBox->setChecked(!ui->WorkBox->isChecked());
}

void InputsTab::OutButtonClick()
{
    ui->OutBox->setChecked(!ui->OutBox->isChecked());
}

void InputsTab::OutButton2Click()
{
    ui->OutBox2->setChecked(!ui->OutBox2->isChecked());
}

void InputsTab::ButtonWorkClick() {}
void InputsTab::Timer6Timer() {}

}  // namespace ktx
