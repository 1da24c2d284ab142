// The line check's steps and outcomes as the window's dialog shows them.
#include <gtest/gtest.h>

#include "app/ui/CheckTexts.h"
#include "support/LocaleScope.h"

namespace ktx {
namespace {

TEST(CheckTexts, StepsGetRussianNamesUnlessTheProfileNamedThem)
{
    const struct {
        const char* type;
        const char* name;
        const char* shown;
    } steps[] = {
        {"identification", "identification", "Опознавание"},
        {"supply", "supply", "Питание"},
        {"outputs", "outputs", "Выходы"},
        {"counters", "counters", "Счётчики"},
        {"gsm", "gsm", "Модем GSM"},
        {"gnss", "gnss", "GPS/ГЛОНАСС"},
        {"clock", "clock", "Часы"},
        {"onewire", "onewire", "1-Wire"},
        {"rs485", "rs485", "RS-485"},
        {"can", "can", "CAN"},
        {"accel", "accel", "Акселерометр"},
        {"warp", "warp", "warp"},                        // a type no area registers: as named
        {"gsm", "Связь с сервером", "Связь с сервером"},  // the profile's own name
        {"supply", "gsm", "gsm"},                        // a name, even one that looks like a type
    };
    for (const auto& step : steps) {
        check::StepPlan given;
        given.type = step.type;
        given.name = step.name;
        EXPECT_EQ(stepTitle(given), QString::fromUtf8(step.shown)) << step.type << " / " << step.name;
    }
    for (check::Outcome outcome : {check::Outcome::Skipped, check::Outcome::Pass, check::Outcome::Marginal,
             check::Outcome::Fail, check::Outcome::Error}) {
        const QString title = outcomeTitle(outcome);
        EXPECT_FALSE(title.isEmpty());
        EXPECT_NE(title, QString::fromLatin1(check::outcomeName(outcome)));
    }
}

TEST(CheckTexts, SecondsUseTheLocalesSeparator)
{
    {
        test::LocaleScope russian(test::russianLocale());
        EXPECT_EQ(secondsText(16820), QStringLiteral("16,8 с"));
    }
    test::LocaleScope c(QLocale::c());
    EXPECT_EQ(secondsText(13), QStringLiteral("0.0 с"));
    EXPECT_EQ(secondsText(1260), QStringLiteral("1.3 с"));
}

}  // namespace
}  // namespace ktx
