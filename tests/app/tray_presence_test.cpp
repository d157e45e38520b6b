#include "app/tray_presence.h"

#include <gtest/gtest.h>

namespace {

TEST(TrayPresence, TipHoldsAtMost127Characters)
{
    const QString pair = QString::fromUtf16(u"\U0001F4E6");  // one character, two UTF-16 units
    const struct {
        QString title;
        QString expected;
    } cases[] = {
        {QString(), QString()},
        {QStringLiteral("Importador"), QStringLiteral("Importador")},
        {QString(127, QLatin1Char('a')), QString(127, QLatin1Char('a'))},
        {QString(128, QLatin1Char('a')), QString(127, QLatin1Char('a'))},
        {QString(126, QLatin1Char('a')) + pair, QString(126, QLatin1Char('a'))},
        {QString(125, QLatin1Char('a')) + pair + QLatin1Char('b'), QString(125, QLatin1Char('a')) + pair},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, tray_tip_text(c.title)) << c.title.size();
}

}  // namespace
