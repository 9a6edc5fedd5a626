#pragma once

#include <QFont>
#include <QRect>
#include <functional>
#include <map>

#include "ui/DialogTemplate.h"

class QWidget;

// Turns a dialog template into a window: caption, window style, fixed client size, font and the
// controls at their places, in tab order.
//
// The templates were laid out for a font that Linux desktops lack, whose base units at the
// template's point size are 6 x 13 pixels at 96 dpi (an x unit a quarter of its average character
// width, a y unit an eighth of its line height). The dialog units keep those proportions, scaled
// by the screen's resolution, so every dialog has its designed shape. The text is the desktop's
// font, at the largest size up to the template's at which every one-line text of the template
// fits its control; desktop fonts are wider than the designed one, and a label that wraps or a
// title that is cut reads wrongly.
class CDialogBuilder {
public:
    // Makes the widget of a control; the builder then places it and gives it its id.
    using ControlFactory = std::function<QWidget*(const ControlTemplate& control, QWidget* parent)>;

    explicit CDialogBuilder(const DialogTemplate& dialogTemplate);

    // Makes the controls with this id with `factory` instead of the kind's default widget (for
    // example the block list or a tab control class of the caller's own).
    void SetFactory(int32_t id, ControlFactory factory);
    // Sets up `dialog` and creates every control of the template as its child.
    void Build(QWidget* dialog) const;

    QFont Font() const { return m_font; }
    int BaseUnitX() const { return m_baseUnitX; }
    int BaseUnitY() const { return m_baseUnitY; }
    // A rectangle in dialog units, in pixels; each edge is converted on its own and rounded.
    QRect ToPixels(int32_t x, int32_t y, int32_t width, int32_t height) const;

private:
    QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) const;
    bool TextsFit(const QFont& font) const;
    QFont FittingFont() const;
    void SetUpWindow(QWidget* dialog) const;

    const DialogTemplate& m_template;
    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
    QFont m_font;
    std::map<int32_t, ControlFactory> m_factories;
};

// Gives a control created outside the template an id that DialogItem finds (a command id).
void SetItemId(QWidget* control, int32_t id);
// The control of a built dialog with this id (the first, for a shared id), or nullptr.
QWidget* DialogItem(const QWidget* dialog, int32_t id);
