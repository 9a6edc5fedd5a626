#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <functional>
#include <map>

#include "ui/DialogTemplate.h"

class QWidget;

// Turns a dialog template into a window: caption, window style, fixed client size, font and the
// controls at their places, in tab order.
//
// Dialog units follow the desktop's font (the application font, at its own size): an x unit is a
// quarter of its average character width, a y unit an eighth of its line height, so a larger
// desktop font gives larger dialogs and the screen's resolution comes in through the font. Desktop
// fonts are wider for their height than the one the templates were laid out with: where a one-line
// text of the template would not fit its control, the x unit grows until every one does, since a
// label that wraps or a title that is cut reads wrongly.
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
    bool TextsFit(const QFontMetrics& metrics) const;
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
