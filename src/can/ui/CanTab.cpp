#include "can/ui/CanTab.h"

#include <QHeaderView>
#include <QLocale>
#include <QSignalBlocker>
#include <QTableWidget>

#include "widgets/DeviceActions.h"
#include "widgets/LivePlotPanel.h"
#include "widgets/LocaleText.h"
#include "widgets/PanelColors.h"
#include "widgets/ShapeWidget.h"
#include "base/TextCodec.h"
#include "link/SampleClock.h"
#include "can/ui/TabRegistration.h"
#include "ui_CanTab.h"

namespace ktx {
namespace {

constexpr int kWeightGridSize = 16;
constexpr int kRowHeight = 18;
const QColor kLampGreen(0, 128, 0);  // clGreen

// In the order of can::PlottedDrive; Timer3 polls every 250 ms.
const PlotSetup kDrivePlot{"Can", "Скорость и обороты", "км/ч", 300'000, 250,
    {{"Скорость, км/ч", {0, 0, 200}}, {"Обороты, об/мин", {200, 0, 0}, true}}, {660, 391}, "об/мин"};

// The default locale is the system's unless a test has set another.
std::string decimalPoint() { return QLocale().decimalPoint().toStdString(); }

std::string cp1251(const QString& text) { return cp1251FromUtf8(text.toStdString()); }

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

// Writes a cell, reusing its item: a poll rewrites the same cells often.
void setCell(QTableWidget* grid, int row, int column, const std::string& text)
{
    const QString value = QString::fromStdString(text);
    if (QTableWidgetItem* item = grid->item(row, column)) {
        if (item->text() != value)
            item->setText(value);
        return;
    }
    grid->setItem(row, column, new QTableWidgetItem(value));
}

QString cellText(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

constexpr TabTimer kCanTimer{"Timer3", 250};
constexpr TabTimer kTimers[] = {kCanTimer};

}  // namespace

CanTab::CanTab(DeviceAccess device, QWidget* parent)
    : QWidget(parent), ui(new Ui::CanTab), device_(device), monitor_(device),
      timer3_(makeTabTimer(this, kCanTimer))
{
    ui->setupUi(this);
    prepareGrid(ui->CANGrid, 3, 1, 118);
    prepareGrid(ui->FuelGrid, 3, 1, 118);
    prepareGrid(ui->AxisGrid, 1, 1, 64);
    prepareGrid(ui->WeightGrid, kWeightGridSize, kWeightGridSize, 42);
    for (QTableWidget* grid : {ui->CANGrid, ui->FuelGrid, ui->AxisGrid})
        grid->horizontalHeader()->setStretchLastSection(true);
    ui->WeightGrid->setColumnWidth(0, 56);
    for (ShapeWidget* lamp : lamps())
        lamp->setKind(ShapeWidget::Kind::Circle);
    ui->CANPush->hide();
    colors::setBackground(ui->Panel47, colors::kBtnShadow);

    // Hand edits of a key cell change which row the next frame finds.
    connect(ui->CANGrid, &QTableWidget::cellChanged, this,
        [this](int row, int column) { keyCellChanged(ui->CANGrid, &can::CanGrids::canGrid, row, column); });
    connect(ui->FuelGrid, &QTableWidget::cellChanged, this,
        [this](int row, int column) { keyCellChanged(ui->FuelGrid, &can::CanGrids::fuelGrid, row, column); });
    connect(ui->AxisGrid, &QTableWidget::cellChanged, this,
        [this](int row, int column) { keyCellChanged(ui->AxisGrid, &can::CanGrids::axisGrid, row, column); });

    // toggled, not clicked: unchecking from code (a tab change) must stop the poll too.
    connect(ui->CheckBox2, &QCheckBox::toggled, this, &CanTab::CheckBox2Click);
    connect(ui->Button15, &QPushButton::clicked, this, &CanTab::Button15Click);
    connect(ui->Button21, &QPushButton::clicked, this, &CanTab::Button21Click);
    connect(ui->CANPush, &QPushButton::clicked, this, &CanTab::CANPushClick);
    connect(timer3_, &QTimer::timeout, this, &CanTab::CANPushClick);
    plot_ = new LivePlotPanel(kDrivePlot, sampleClockOf(device_.clock()), this);
}

CanTab::~CanTab()
{
    delete ui;
}

std::array<QLabel*, can::kPanelCount> CanTab::panels() const
{
    return {ui->CanLabel1, ui->CanLabel2, ui->CanLabel3, ui->CanLabel5, ui->CanLabel7, ui->CanLabel8, ui->CanLabel9,
        ui->CanLabel10, ui->CanLabel11, ui->CanLabel12};
}

std::array<QLineEdit*, can::kIdBoxCount> CanTab::idBoxes() const
{
    return {ui->CAN1, ui->CAN2, ui->CAN3, ui->CAN5, ui->CAN7, ui->CAN8, ui->CAN9, ui->CAN10};
}

std::array<ShapeWidget*, can::kLampCount> CanTab::lamps() const
{
    return {ui->CanShape1, ui->CanShape2, ui->CanShape3, ui->CanShape4, ui->CanShape5, ui->CanShape6, ui->CanShape7,
        ui->CanShape8, ui->CanShape9, ui->CanShape10};
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

void CanTab::CANPushClick()
{
    runDeviceAction(device_, timer3_, this, nullptr,
        [this, point = decimalPoint()](AppContext& device) { return monitor_.in(device).poll(point); },
        [this](const can::CanPollOutcome& outcome) {
            plot_->append(can::plottedDrive(outcome.view));
            if (!outcome.opened) {
                if (ui->CheckBox2->isChecked())
                    ui->CheckBox2->setChecked(false);  // stops Timer3
                else
                    timer3_->stop();
                return;
            }
            colors::blinkHeartbeat(ui->Panel47);
            if (outcome.view)
                applyView(*outcome.view);
        });
}


void CanTab::applyView(const can::CanView& view)
{
    const auto labels = panels();
    for (size_t i = 0; i < labels.size(); ++i)
        if (view.panels[i])
            labels[i]->setText(QString::fromStdString(*view.panels[i]));
    const auto boxes = idBoxes();
    for (size_t i = 0; i < boxes.size(); ++i)
        if (view.idBoxes[i] && boxes[i]->text() != QLatin1String(view.idBoxes[i]->c_str()))
            boxes[i]->setText(QString::fromStdString(*view.idBoxes[i]));
    QCheckBox* const switches[] = {ui->Cruise, ui->Brake, ui->Clutch};
    for (size_t i = 0; i < std::size(switches); ++i)
        if (view.switches[i])
            switches[i]->setChecked(*view.switches[i]);
    // Every lamp hatched, the groups of this reply solid green: a hatched
    // green lamp is a group seen before but not now.
    const auto shapes = lamps();
    for (size_t i = 0; i < shapes.size(); ++i) {
        if (view.lampsPresent[i]) {
            shapes[i]->setBrushStyle(Qt::SolidPattern);
            shapes[i]->setBrushColor(kLampGreen);
        } else {
            shapes[i]->setBrushStyle(Qt::FDiagPattern);
        }
    }
    applyRows(ui->CANGrid, view.canRows);
    applyRows(ui->FuelGrid, view.fuelRows);
    applyRows(ui->AxisGrid, view.axisRows);
    for (const can::CellWrite& cell : view.weightCells)
        setCell(ui->WeightGrid, cell.row, cell.column, cell.text);
    if (view.labelDefault)
        ui->LabelDefault->setText(QString::fromStdString(*view.labelDefault));
}

void CanTab::applyRows(QTableWidget* grid, const std::vector<can::RowWrite>& rows)
{
    if (rows.empty())
        return;
    // The core has already put the new keys in its index.
    const QSignalBlocker blocker(grid);
    for (const can::RowWrite& write : rows) {
        if (write.added && write.row >= grid->rowCount())
            grid->setRowCount(write.row + 1);
        for (int column = 0; column < grid->columnCount() && column < 3; ++column)
            if (write.cells[static_cast<size_t>(column)])
                setCell(grid, write.row, column, *write.cells[static_cast<size_t>(column)]);
    }
}

void CanTab::keyCellChanged(QTableWidget* grid, can::KeyedRows can::CanGrids::*keys, int row, int column)
{
    if (column != 0)
        return;
    // The monitor's index belongs to the device worker, between two polls.
    runDeviceAction(device_, nullptr, this, nullptr,
        [this, keys, row, key = cellText(grid, row, 0).toStdString()](AppContext& device) {
            (monitor_.in(device).grids().*keys).setKey(row, key);
        }, [] {});
}

void CanTab::resetLastDecoded()
{
    runDeviceAction(device_, nullptr, this, nullptr,
        [this](AppContext& device) { monitor_.in(device).resetLastDecoded(); }, [] {});
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

namespace {

const VersionRule kVersionRules[] = {
    {53, "GroupBox14", false},
    {53, "CANGrid", false},
    {53, "Panel23", false},
    {53, "Panel27", false},
    {53, "CheckBox2", false},
    {53, "Button15", false},
    {53, "Button21", false},
};

}  // namespace

std::span<const VersionRule> CanTab::versionRules()
{
    return kVersionRules;
}

can::CanSnapshot CanTab::formSnapshot() const
{
    can::CanSnapshot s;
    s.stamp = dateTimeTextCp1251(device_.clock().wallClockUtcMs());
    const auto labels = panels();
    const auto boxes = idBoxes();
    for (size_t i = 0; i + 1 < s.quantities.size(); ++i)
        s.quantities[i] = {cp1251(boxes[i]->text()), cp1251(labels[i]->text())};
    s.quantities.back() = {cp1251(ui->CAN10->text()),
        cp1251(ui->CanLabel10->text() + u' ' + ui->CanLabel11->text() + u' ' + ui->CanLabel12->text())};
    auto rowsOf = [](const QTableWidget* grid) {
        std::vector<can::SnapshotRow> rows;
        for (int row = 1; row < grid->rowCount(); ++row)
            rows.push_back({{cp1251(cellText(grid, row, 0)), cp1251(cellText(grid, row, 1)),
                cp1251(cellText(grid, row, 2))}});
        return rows;
    };
    s.fuelRows = rowsOf(ui->FuelGrid);
    s.canRows = rowsOf(ui->CANGrid);
    return s;
}

void CanTab::Button21Click()
{
    // The serial number and version text are identification's, on the device
    // worker; the file is written there too, in order with the data logs.
    runDeviceAction(device_, ui->Button21, this, ui->Button21,
        [taken = formSnapshot(), workDir = workDir_](AppContext& device) mutable {
            taken.serial = device.device.serialText;
            taken.version = device.device.versionText;
            // Said at every press that fails: the technician asked for this file.
            const WriteResult written = can::writeSnapshot(workDir, taken);
            if (!written)
                LogDebug(device.log, 1, "%s%s", cp1251FromUtf8("Снимок CAN не записан: ").c_str(),
                         cp1251FromUtf8(written.error).c_str());
        },
        [] {});
}

namespace can {
namespace {

QWidget* makeTab(const TabEnvironment& environment, QWidget* page)
{
    auto* tab = new CanTab(environment.device, page);
    tab->setWorkDir(environment.workDir);
    // The grids' header rows and the empty record, as on a fresh show.
    tab->writeGridHeaders();
    tab->resetLastDecoded();
    return tab;
}

}  // namespace

const TabRegistration& tabRegistration()
{
    static const TabRegistration registration{.pageName = "TabSheet5", .title = "CAN", .make = makeTab,
        .minimumFirmware = CanTab::kMinimumFirmware, .gatedControls = CanTab::versionRules(), .timers = kTimers};
    return registration;
}

}  // namespace can
}  // namespace ktx
