#include "ui/ColourTokens.h"

namespace qiro {

namespace {

// The dark text colours stand first in the dark table; the slate table replaces them with its own.
constexpr size_t kDarkTextColours = 3;

std::vector<ColourToken> buildDarkTable() {
    return {
        {"qirodark_defaultTextColorBright", QColor(207, 231, 255)},
        {"qirodark_defaultTextColor", QColor(135, 150, 166)},
        {"qirodark_disabledTextColor", QColor(86, 89, 92)},
        {"qirodark_charcoalGreyColorAlpha0", QColor(27, 32, 36, 0)},
        {"qirodark_charcoalGreyColorAlpha100", QColor(27, 32, 36, 100)},
        {"qirodark_charcoalGreyColor", QColor(27, 32, 36)},
        {"qirodark_mediumGreyColor", QColor(55, 60, 64)},
        {"qirodark_disabledBackgroundGradientStop0", QColor(44, 50, 54)},
        {"qirodark_disabledBackgroundGradientStop1_0", QColor(45, 51, 55)},
        {"qirodark_defaultWindowBackground", QColor(50, 57, 60)},
        {"qirodark_selectionGradientStop0", QColor(66, 142, 188)},
        {"qirodark_selectionGradientStop1_0", QColor(49, 112, 154)},
        {"qirodark_buttonGradientStop0", QColor(87, 91, 92)},
        {"qirodark_buttonGradientStop1_0", QColor(50, 65, 71)},
        {"qirodark_buttonTopBorderDisabled", QColor(94, 107, 111).darker(170)},
        {"qirodark_buttonLeftBorderDisabled", QColor(75, 90, 94).darker(150)},
        {"qirodark_buttonRightBorderDisabled", QColor(73, 88, 93).darker(150)},
        {"qirodark_buttonBottomBorderDisabled", QColor(50, 65, 71).darker(110)},
        {"qirodark_buttonTopBorder", QColor(94, 107, 111)},
        {"qirodark_buttonLeftBorder", QColor(75, 90, 94)},
        {"qirodark_buttonRightBorder", QColor(73, 88, 93)},
        {"qirodark_buttonBottomBorder", QColor(50, 65, 71)},
        {"qirodark_buttonPressedGradientStop1_0", QColor(170, 170, 170)},
        {"qirodark_buttonPressedGradientStop0_6", QColor(119, 119, 119)},
        {"qirodark_buttonPressedGradientStop0_5", QColor(119, 119, 119)},
        {"qirodark_buttonPressedGradientStop0", QColor(170, 170, 170)},
        {"qirodark_buttonFlatBackground", QColor(187, 187, 187)},
        {"qirodark_greyBackgroundGradientStop1_0", QColor(32, 37, 38)},
        {"qirodark_greyBackgroundGradientStop0_5", QColor(33, 38, 39)},
        {"qirodark_greyBackgroundGradientStop0", QColor(32, 40, 41)},
        {"qirodark_baseWindowGroupBoxGradientStop1_0", QColor(28, 33, 37)},
        {"qirodark_baseWindowGroupBoxGradientStop0", QColor(46, 52, 56)},
        {"qirodark_baseWindowGroupBoxTopBorder", QColor(81, 95, 124)},
        {"qirodark_baseWindowGroupBoxLeftBorder", QColor(58, 64, 67)},
        {"qirodark_baseWindowGroupBoxRightBorder", QColor(52, 58, 62)},
        {"qirodark_baseWindowGroupBoxBottomBorder", QColor(41, 47, 49)},
        {"qirodark_titlebarPushButtonGradientStop1_0", QColor(60, 70, 79)},
        {"qirodark_titlebarPushButtonGradientStop0_5", QColor(46, 54, 60)},
        {"qirodark_titlebarPushButtonGradientStop0", QColor(81, 101, 111)},
        {"qirodark_mediaButtonGradientStop1_0", QColor(32, 35, 61)},
        {"qirodark_mediaButtonGradientStop0_5", QColor(19, 22, 25)},
        {"qirodark_mediaButtonGradientStop0", QColor(42, 56, 74)},
        {"qirodark_mediaButtonTopBorder", QColor(58, 76, 113)},
        {"qirodark_mediaButtonBottomBorder", QColor(57, 62, 65)},
        {"qirodark_mediaButtonDisabledBackgroundStop1_0", QColor(45, 51, 55).darker(150)},
        {"qirodark_mediaButtonDisabledBackgroundStop0", QColor(44, 50, 54).darker(150)},
        {"qirodark_mediaButtonDisabledTopBorder", QColor(58, 76, 113).darker(150)},
        {"qirodark_mediaButtonDisabledBottomBorder", QColor(57, 62, 65).darker(150)},
        {"qirodark_segmentedButtonGradientStop1_0", QColor(32, 35, 61)},
        {"qirodark_segmentedButtonGradientStop0_5", QColor(19, 22, 25)},
        {"qirodark_segmentedButtonGradientStop0", QColor(42, 56, 74)},
        {"qirodark_buttonThatLooksLikeLabelCheckedBorder", QColor(49, 117, 142)},
        {"qirodark_labelThumbnailViewTopBorder", QColor(21, 24, 26)},
        {"qirodark_labelThumbnailViewLeftBorder", QColor(28, 31, 33)},
        {"qirodark_comboBoxBackgroundGradientStop1_0", QColor(38, 43, 47)},
        {"qirodark_comboBoxOpenedGradientStop1_0", QColor(45, 51, 55)},
        {"qirodark_comboBoxOpenedGradientStop0_66", QColor(35, 41, 46)},
        {"qirodark_comboBoxOpenedGradientStop0", QColor(33, 38, 43)},
        {"qirodark_comboBoxCloakedGradientStop1_0", QColor(38, 43, 47, 0)},
        {"qirodark_comboBoxCloakedGradientStop0_66", QColor(29, 34, 38, 0)},
        {"qirodark_comboBoxCloakedGradientStopHover1_0", QColor(38, 43, 47, 100)},
        {"qirodark_comboBoxCloakedGradientStopHover0_66", QColor(29, 34, 38, 100)},
        {"qirodark_spinboxBottomBorder", QColor(52, 57, 58)},
        {"qirodark_spinboxDownButtonTopBorder", QColor(86, 93, 96)},
        {"qirodark_menuItemSelectedBottomBorder", QColor(47, 108, 148)},
        {"qirodark_tabWidgetPaneBorder", QColor(112, 112, 112)},
        {"qirodark_tabBarTabBackground", QColor(170, 170, 170)},
        {"qirodark_tabBarTabBorder", QColor(153, 153, 153)},
        {"qirodark_tabBarTabSelectedBorderBottom", QColor(187, 187, 187)},
        {"qirodark_tabBarTabSelectedBorder", QColor(80, 80, 80)},
        {"qirodark_listViewGradientStop1_0", QColor(57, 65, 69)},
        {"qirodark_listViewGradientStop0", QColor(48, 55, 62)},
        {"qirodark_listViewAltGradientStop1_0", QColor(51, 56, 61)},
        {"qirodark_listViewAltGradientStop0", QColor(47, 52, 56)},
        {"qirodark_treeViewBranchTopBorder", QColor(68, 74, 78)},
        {"qirodark_treeViewBranchBottomBorder", QColor(43, 48, 54)},
        {"qirodark_headerViewLeftBorder", QColor(46, 50, 51)},
        {"qirodark_headerViewRightBorder", QColor(36, 42, 46)},
        {"qirodark_headerViewTextColor", QColor(141, 153, 163)},
        {"qirodark_splitterHandleGradientStop1_0", QColor(31, 36, 40)},
        {"qirodark_splitterHandleGradientStop0", QColor(50, 59, 62)},
        {"qirodark_scrollAreaCorderGradientStop1_0", QColor(33, 39, 45)},
        {"qirodark_scrollAreaCorderGradientStop0", QColor(28, 33, 38)},
        {"qirodark_scrollBarHandleBackground", QColor(55, 63, 67)},
        {"qirodark_scrollBarHandleBorder", QColor(99, 106, 110)},
        {"qirodark_scrollBarLineBackground", QColor(30, 35, 40)},
        {"qirodark_scrollBarHandleGradientStop1_0", QColor(48, 54, 58)},
        {"qirodark_scrollBarHandleLeftRightBorder", QColor(64, 72, 77)},
        {"qirodark_scrollBarHandleBottomBorder", QColor(59, 66, 71)},
        {"qirodark_progressBarGradient1_0", QColor(55, 76, 101)},
        {"qirodark_progressBarGradient0_8", QColor(57, 66, 96)},
        {"qirodark_progressBarGradient0_5", QColor(52, 57, 84)},
        {"qirodark_progressBarGradient0_2", QColor(57, 66, 96)},
        {"qirodark_progressBarGradient0", QColor(55, 76, 101)},
    };
}

std::vector<ColourToken> buildSlateTable() {
    std::vector<ColourToken> table{
        {"qiroslate_defaultTextColorRealBright", QColor(206, 206, 206)},
        {"qiroslate_defaultTextColorBright", QColor(153, 153, 153)},
        {"qiroslate_defaultTextColor", QColor(136, 136, 136)},
        {"qiroslate_disabledTextColor", QColor(82, 82, 82)},
        {"qiroslate_yellowTextColor", QColor(221, 186, 7)},
        {"qiroslate_warningTextColor", QColor(152, 29, 29)},
        {"qiroslate_brightestTextColor", QColor(255, 255, 255)},
        {"qiroslate_defaultSelectionColor", QColor(159, 136, 10, 207)},
        {"qiroslate_lineEditColor", QColor(206, 206, 206)},
        {"qiroslate_lineEditDisabledColor", QColor(98, 98, 98)},
        {"qiroslate_comboBoxColor", QColor(206, 206, 206)},
        {"qiroslate_comboBoxDisabledColor", QColor(98, 98, 98)},
        {"qiroslate_scrollBarHandleBackground", QColor(55, 55, 55)},
        {"qiroslate_scrollBarHandleBorder", QColor(63, 63, 63)},
    };
    const std::vector<ColourToken> &dark = darkColourTokens();
    table.insert(table.end(), dark.begin() + kDarkTextColours, dark.end());
    return table;
}

} // namespace

const std::vector<ColourToken> &darkColourTokens() {
    static const std::vector<ColourToken> table = buildDarkTable();
    return table;
}

const std::vector<ColourToken> &slateColourTokens() {
    static const std::vector<ColourToken> table = buildSlateTable();
    return table;
}

} // namespace qiro
