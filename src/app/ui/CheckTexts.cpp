#include "app/ui/CheckTexts.h"

#include <QLocale>

#include "check/CheckArea.h"

namespace ktx {
namespace {

const QColor kMarginalColour(0xB0, 0x70, 0);

}  // namespace

QString stepTitle(const check::StepPlan& step) { return stepTitle(step.name, step.type); }

QString stepTitle(const std::string& name, const std::string& type)
{
    // The title is the step type's, as its area registered it.
    const check::StepType* named = name == type ? check::findStepType(type) : nullptr;
    return named ? QString::fromUtf8(named->title.data(), static_cast<qsizetype>(named->title.size()))
                 : QString::fromStdString(name);
}

QString outcomeTitle(check::Outcome outcome)
{
    switch (outcome) {
    case check::Outcome::Skipped:
        return QStringLiteral("пропущен");
    case check::Outcome::Pass:
        return QStringLiteral("пройден");
    case check::Outcome::Marginal:
        return QStringLiteral("на границе допуска");
    case check::Outcome::Fail:
        return QStringLiteral("не пройден");
    case check::Outcome::Error:
        return QStringLiteral("нет ответа");
    }
    return {};
}

VerdictText verdictForExitCode(int exitCode)
{
    switch (exitCode) {
    case 0: return {QStringLiteral("ГОДЕН"), QColor(Qt::darkGreen)};
    case 1: return {QStringLiteral("НЕ ГОДЕН"), QColor(Qt::red)};
    case 3: return {QStringLiteral("НЕ ПРОВЕРЕН"), kMarginalColour};
    default: return {QStringLiteral("ПРОВЕРКА ПРЕРВАНА"), QColor(Qt::red)};
    }
}

VerdictText storedVerdict(const std::string& outcome, bool interrupted)
{
    if (interrupted)
        return verdictForExitCode(2);
    if (outcome == "not tested")
        return verdictForExitCode(3);
    if (outcome == "fail" || outcome == "error")
        return verdictForExitCode(1);
    if (outcome == "marginal")
        return {verdictForExitCode(0).text + QStringLiteral(", ") + outcomeTitle(check::Outcome::Marginal), kMarginalColour};
    if (outcome == "pass" || outcome == "skipped")
        return verdictForExitCode(0);
    // A verdict a newer program wrote: shown as it is stored.
    return {QString::fromStdString(outcome), QColor(Qt::black)};
}

QString secondsText(int64_t ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1).replace(u'.', QLocale().decimalPoint()) + QStringLiteral(" с");
}

}  // namespace ktx
