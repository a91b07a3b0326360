#include "sessions/ContextUsage.h"

QString ContextUsage::shortText(std::int64_t n) {
    if (n < 1000)
        return QString::number(n);
    return QString::number(n / 1000) + QLatin1Char('k');
}
