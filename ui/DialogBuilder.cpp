#include "ui/DialogBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "ui/GroupBoxStyle.h"
#include "ui/TabCtrl.h"

namespace {
constexpr const char* kControlIdProperty = "controlId";

// Room a group box needs beside its title, and a push button beside its text.
constexpr int kGroupTitleMargin = 8;
constexpr int kButtonTextMargin = 4;
// The letters whose mean width is the font's average character width.
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLength = 52;
// How far the x unit may grow beyond the average character width for the texts to fit.
constexpr int kMaxWidening = 2;

// The mean width of the letters, rounded to whole pixels.
int AverageCharWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    return std::max(1, (width + kAlphabetLength / 2) / kAlphabetLength);
}

// The width a control needs around its text: the check box's indicator, the group box's frame.
int ChromeWidth(ControlKind kind) {
    const QStyle* style = QApplication::style();
    switch (kind) {
        case ControlKind::CheckBox:
            return style->pixelMetric(QStyle::PM_IndicatorWidth) +
                   style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        case ControlKind::GroupBox:
            return kGroupTitleMargin;
        case ControlKind::PushButton:
            return kButtonTextMargin;
        default:
            return 0;
    }
}

bool HasOneLineText(const ControlTemplate& control) {
    switch (control.kind) {
        case ControlKind::Label:
        case ControlKind::CheckBox:
        case ControlKind::GroupBox:
        case ControlKind::PushButton:
            return control.text[0] != '\0';
        default:
            return false;
    }
}

// The text as shown: without mnemonic marks and the blanks at its ends.
QString ShownText(const ControlTemplate& control) {
    QString text = QString::fromUtf8(control.text).trimmed();
    text.remove(QLatin1Char('&'));
    return text;
}

// v * base / divisor, rounded half away from zero.
int ScaleUnits(int32_t v, int base, int divisor) {
    const long long scaled = static_cast<long long>(v) * base;
    const long long half = divisor / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / divisor : (scaled - half) / divisor);
}

bool Has(uint32_t style, uint32_t flag) {
    return (style & flag) != 0;
}

QWidget* CreatePushButton(const ControlTemplate& control, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(control.text), parent);
    button->setDefault(Has(control.style, control_style::kDefaultButton));
    return button;
}

QWidget* CreateGroupBox(const ControlTemplate& control, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromUtf8(control.text), parent);
    box->setStyle(CGroupBoxStyle::Instance());
    return box;
}

QWidget* CreateLabel(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(control.text), parent);
    const Qt::Alignment horizontal =
        Has(control.style, control_style::kCentred) ? Qt::AlignHCenter : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromUtf8(control.text), parent);
    edit->setFrame(Has(control.style, control_style::kBorder));
    if (Has(control.style, control_style::kDigitsOnly)) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QWidget* CreateListView(const ControlTemplate& control, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setHeaderHidden(!Has(control.style, control_style::kReportView));
    list->header()->setSectionsClickable(!Has(control.style, control_style::kNoSortHeader));
    list->setSelectionMode(Has(control.style, control_style::kMultiSelect)
                               ? QAbstractItemView::ExtendedSelection
                               : QAbstractItemView::SingleSelection);
    list->setFrameStyle(Has(control.style, control_style::kSunken)
                            ? QFrame::StyledPanel | QFrame::Sunken
                            : QFrame::NoFrame);
    return list;
}

QWidget* CreateIcon(const ControlTemplate& control, QWidget* parent, QSize size) {
    auto* picture = new QLabel(parent);
    picture->setPixmap(QIcon(QString::fromUtf8(control.text)).pixmap(size));
    return picture;
}
}  // namespace

CDialogBuilder::CDialogBuilder(const DialogTemplate& dialogTemplate)
    : m_template(dialogTemplate), m_font(QApplication::font()) {
    const QFontMetrics metrics(m_font);
    m_baseUnitY = std::max(1, metrics.height());
    m_baseUnitX = AverageCharWidth(metrics);
    // A text wider than its control would wrap or be cut: the x unit grows until none is.
    while (!TextsFit(metrics) && m_baseUnitX < kMaxWidening * AverageCharWidth(metrics)) {
        ++m_baseUnitX;
    }
}

bool CDialogBuilder::TextsFit(const QFontMetrics& metrics) const {
    for (const ControlTemplate& control : m_template.controls) {
        if (HasOneLineText(control) && !Has(control.style, control_style::kIconButton)) {
            const int room = ToPixels(control.x, control.y, control.width, control.height).width();
            if (metrics.horizontalAdvance(ShownText(control)) + ChromeWidth(control.kind) > room) {
                return false;
            }
        }
    }
    return true;
}

void CDialogBuilder::SetFactory(int32_t id, ControlFactory factory) {
    m_factories[id] = std::move(factory);
}

QRect CDialogBuilder::ToPixels(int32_t x, int32_t y, int32_t width, int32_t height) const {
    const int left = ScaleUnits(x, m_baseUnitX, 4);
    const int top = ScaleUnits(y, m_baseUnitY, 8);
    const int right = ScaleUnits(x + width, m_baseUnitX, 4);
    const int bottom = ScaleUnits(y + height, m_baseUnitY, 8);
    return QRect(left, top, right - left, bottom - top);
}

void CDialogBuilder::Build(QWidget* dialog) const {
    SetUpWindow(dialog);
    QWidget* previous = nullptr;
    for (const ControlTemplate& control : m_template.controls) {
        QWidget* widget = CreateControl(control, dialog);
        SetItemId(widget, control.id);
        widget->setGeometry(ToPixels(control.x, control.y, control.width, control.height));
        if (Has(control.style, control_style::kTabStop)) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, widget);
            }
            previous = widget;
        }
    }
    if (Has(m_template.style, dialog_style::kVisible)) {
        dialog->show();
    }
}

void CDialogBuilder::SetUpWindow(QWidget* dialog) const {
    Qt::WindowFlags flags =
        Has(m_template.style, dialog_style::kAppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (Has(m_template.style, dialog_style::kSystemMenu)) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (Has(m_template.style, dialog_style::kMinimizeBox)) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (Has(m_template.style, dialog_style::kModalFrame)) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    dialog->setWindowFlags(flags);
    dialog->setWindowTitle(QString::fromUtf8(m_template.caption));
    dialog->setFont(m_font);
    dialog->setFixedSize(ToPixels(0, 0, m_template.width, m_template.height).size());
}

QWidget* CDialogBuilder::CreateControl(const ControlTemplate& control, QWidget* parent) const {
    if (const auto factory = m_factories.find(control.id); factory != m_factories.end()) {
        return factory->second(control, parent);
    }
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::PushButton:
            return CreatePushButton(control, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::GroupBox:
            return CreateGroupBox(control, parent);
        case ControlKind::Label:
            return CreateLabel(control, parent);
        case ControlKind::Edit:
            return CreateEdit(control, parent);
        case ControlKind::ListView:
            return CreateListView(control, parent);
        case ControlKind::TabControl:
            return new CTabCtrl(parent);
        case ControlKind::ComboBox:
            return new QComboBox(parent);
        case ControlKind::Icon:
            return CreateIcon(control, parent,
                              ToPixels(0, 0, control.width, control.height).size());
    }
    return new QWidget(parent);
}

void SetItemId(QWidget* control, int32_t id) {
    control->setProperty(kControlIdProperty, id);
}

QWidget* DialogItem(const QWidget* dialog, int32_t id) {
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property(kControlIdProperty).toInt() == id &&
            child->property(kControlIdProperty).isValid()) {
            return child;
        }
    }
    return nullptr;
}
