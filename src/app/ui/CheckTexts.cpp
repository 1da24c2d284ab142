#include "app/ui/CheckTexts.h"

#include <QLocale>
#include <iterator>
#include <string_view>

namespace ktx {
namespace {

struct TypeTitle {
    std::string_view type;
    const char* title;
};

constexpr TypeTitle kTypeTitles[] = {
    {"identification", "Опознавание"}, {"supply", "Питание"},       {"outputs", "Выходы"},
    {"counters", "Счётчики"},          {"gsm", "Модем GSM"},        {"gnss", "GPS/ГЛОНАСС"},
    {"clock", "Часы"},                 {"onewire", "1-Wire"},       {"rs485", "RS-485"},
    {"can", "CAN"},                    {"accel", "Акселерометр"},
};

}  // namespace

QString stepTitle(const check::StepSpec& step)
{
    if (step.name == step.type) {
        for (const TypeTitle& known : kTypeTitles)
            if (known.type == step.type)
                return QString::fromUtf8(known.title);
    }
    return QString::fromStdString(step.name);
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

QString secondsText(int64_t ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1).replace(u'.', QLocale().decimalPoint()) + QStringLiteral(" с");
}

}  // namespace ktx
