#include "accel/ui/AccelTab.h"

#include "ui_AccelTab.h"

namespace ktx {

AccelTab::AccelTab(AppContext& context, QTimer* timerAccel, QWidget* parent)
    : QWidget(parent), ui(new Ui::AccelTab), context_(context), timerAccel_(timerAccel)
{
    ui->setupUi(this);
    (void)context_;
    connect(ui->ButtonStartAxel, &QPushButton::clicked, this, &AccelTab::ButtonStartAxelClick);
}

AccelTab::~AccelTab()
{
    delete ui;
}

void AccelTab::ButtonStartAxelClick()
{
    if (timerAccel_->isActive()) {
        stopTest();
        return;
    }
    timerAccel_->start();
    ui->ButtonStartAxel->setText(QStringLiteral("Остановить проверку"));
}

void AccelTab::stopTest()
{
    timerAccel_->stop();
    ui->ButtonStartAxel->setText(QStringLiteral("Начать проверку"));
}

}  // namespace ktx
