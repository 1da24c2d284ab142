#include "can/ui/CanTab.h"

#include <QHeaderView>
#include <QTableWidget>

#include "ui_CanTab.h"

namespace ktx {
namespace {

constexpr int kWeightGridSize = 16;
constexpr int kRowHeight = 18;

// A grid that looks like a plain string grid: no Qt headers, compact rows.
void prepareGrid(QTableWidget* grid, int columns, int rows, int columnWidth)
{
    grid->setColumnCount(columns);
    grid->setRowCount(rows);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->horizontalHeader()->setDefaultSectionSize(columnWidth);
}

void setHeaderCell(QTableWidget* grid, int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setBackground(grid->palette().button());
    grid->setItem(row, column, item);
}

}  // namespace

CanTab::CanTab(AppContext& context, QTimer* timer3, QWidget* parent)
    : QWidget(parent), ui(new Ui::CanTab), context_(context), timer3_(timer3)
{
    ui->setupUi(this);
    (void)context_;
    prepareGrid(ui->CANGrid, 3, 1, 118);
    prepareGrid(ui->FuelGrid, 3, 1, 118);
    prepareGrid(ui->AxisGrid, 1, 1, 64);
    prepareGrid(ui->WeightGrid, kWeightGridSize, kWeightGridSize, 30);
    for (QTableWidget* grid : {ui->CANGrid, ui->FuelGrid, ui->AxisGrid})
        grid->horizontalHeader()->setStretchLastSection(true);
    ui->WeightGrid->setColumnWidth(0, 56);
    resetLastDecoded();
    // toggled, not clicked: unchecking from code (a tab change) must stop the poll too.
    connect(ui->CheckBox2, &QCheckBox::toggled, this, &CanTab::CheckBox2Click);
    connect(ui->Button15, &QPushButton::clicked, this, &CanTab::Button15Click);
}

CanTab::~CanTab()
{
    delete ui;
}

void CanTab::CheckBox2Click()
{
    if (ui->CheckBox2->isChecked())
        timer3_->start();
    else
        timer3_->stop();
}

void CanTab::Button15Click()
{
    ui->CheckBox2->setChecked(!ui->CheckBox2->isChecked());
}

void CanTab::writeGridHeaders()
{
    const QString canHeads[] = {QStringLiteral("ID"), QStringLiteral("Data A"), QStringLiteral("Data B")};
    const QString fuelHeads[] = {QStringLiteral("ID"), QStringLiteral("% бака"), QStringLiteral("АЦП")};
    for (int column = 0; column < 3; ++column) {
        setHeaderCell(ui->CANGrid, 0, column, canHeads[column]);
        setHeaderCell(ui->FuelGrid, 0, column, fuelHeads[column]);
    }
    setHeaderCell(ui->AxisGrid, 0, 0, QStringLiteral("ID"));
    setHeaderCell(ui->WeightGrid, 0, 0, QStringLiteral("Колесо"));
    for (int n = 1; n < kWeightGridSize; ++n) {
        setHeaderCell(ui->WeightGrid, 0, n, QString::number(n));
        setHeaderCell(ui->WeightGrid, n, 0, QStringLiteral("Ось %1").arg(n));
    }
}

void CanTab::resetLastDecoded()
{
    lastDecoded.fill(0xFF);
}

}  // namespace ktx
