#pragma once

#include <QFont>
#include <QRect>
#include <functional>
#include <map>

#include "app/DialogTemplate.h"

class QWidget;

// Turns a dialog template into a window: caption, window style, fixed client size, font and the
// controls at their places, in tab order. Dialog units become pixels through the dialog font:
// an x unit is a quarter of its average character width, a y unit an eighth of its line height.
//
// The templates name a font that Linux desktops lack; the dialogs use the application's font at
// the template's point size instead, so the layout follows the user's font like the rest of the
// desktop.
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
    void SetUpWindow(QWidget* dialog) const;

    const DialogTemplate& m_template;
    QFont m_font;
    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
    std::map<int32_t, ControlFactory> m_factories;
};

// Gives a control created outside the template an id that DialogItem finds (a command id).
void SetItemId(QWidget* control, int32_t id);
// The control of a built dialog with this id (the first, for a shared id), or nullptr.
QWidget* DialogItem(const QWidget* dialog, int32_t id);
