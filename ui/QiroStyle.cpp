#include "ui/QiroStyle.h"

#include "resources/Resources.h"
#include "ui/StyleSheet.h"

#include <QMdiArea>
#include <QPainter>
#include <QStyleOption>

namespace {

// The background of an MDI area under the dark and slate themes: the dark window background.
const QColor kMdiAreaBackground(50, 57, 60);
// Where the slate check mark stands in the rectangle of a menu check mark.
constexpr int kCheckMarkLeft = 5;
constexpr int kCheckMarkTop = 2;

bool isDarkOrSlate(int theme) {
    return theme == qiro::kThemeDark || theme == qiro::kThemeSlate;
}

} // namespace

QiroStyle::QiroStyle(int theme) : QProxyStyle(QStringLiteral("Fusion")), themeNumber(theme) {
    if (theme == qiro::kThemeSlate)
        slateCheckMark.load(QString::fromLatin1(resources::kSlateCheckMark));
}

QString QiroStyle::styleSheet() const {
    return qiro::buildStyleSheet(themeNumber);
}

void QiroStyle::polish(QWidget *widget) {
    QProxyStyle::polish(widget);
    if (auto *area = qobject_cast<QMdiArea *>(widget); area != nullptr && isDarkOrSlate(themeNumber))
        area->setBackground(kMdiAreaBackground);
}

void QiroStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const {
    if (element == PE_FrameFocusRect)
        return;
    if (element == PE_IndicatorMenuCheckMark && themeNumber == qiro::kThemeSlate) {
        painter->drawPixmap(option->rect.left() + kCheckMarkLeft, option->rect.top() + kCheckMarkTop,
                            slateCheckMark);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

int QiroStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                         QStyleHintReturn *returnData) const {
    switch (hint) {
    case SH_EtchDisabledText:
        return 0;
    case SH_ComboBox_Popup:
        return 1;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}
