#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeView>

#include "res/DialogTemplates.h"
#include "ui/DialogBuilder.h"
#include "ui/TabCtrl.h"

namespace {
bool HasKind(QWidget* widget, ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            return qobject_cast<QPushButton*>(widget) != nullptr;
        case ControlKind::CheckBox:
            return qobject_cast<QCheckBox*>(widget) != nullptr;
        case ControlKind::GroupBox:
            return qobject_cast<QGroupBox*>(widget) != nullptr;
        case ControlKind::Label:
        case ControlKind::Icon:
            return qobject_cast<QLabel*>(widget) != nullptr;
        case ControlKind::Edit:
            return qobject_cast<QLineEdit*>(widget) != nullptr;
        case ControlKind::ListView:
            return qobject_cast<QTreeView*>(widget) != nullptr;
        case ControlKind::TabControl:
            return qobject_cast<CTabCtrl*>(widget) != nullptr;
        case ControlKind::ComboBox:
            return qobject_cast<QComboBox*>(widget) != nullptr;
    }
    return false;
}

QString TextOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        return box->title();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return QString();
}
}  // namespace

class DialogBuilderTest : public QObject {
    Q_OBJECT

    void TextsFitAtTheApplicationFont();

private slots:
    void DialogUnitsFollowTheDesktopFont();
    void TextsFitTheirControlsOnOneLine();
    void GroupFramesRunThroughTheirTitles();
    void EveryControlMatchesItsRow();
    void TabOrderFollowsTheTable();
    void StylesReachTheWidgets();
    void FactoriesReplaceDefaultWidgets();
};

void DialogBuilderTest::DialogUnitsFollowTheDesktopFont() {
    // A quarter of the letters' mean width and an eighth of the line height (no text of the
    // Signal template asks for a wider unit).
    const QFontMetrics metrics(QApplication::font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const CDialogBuilder builder(SignalTemplate());
    QCOMPARE(builder.BaseUnitX(), qRound(letters / 52.0));
    QCOMPARE(builder.BaseUnitY(), metrics.height());
    QCOMPARE(builder.ToPixels(4, 8, 4, 8), QRect(builder.BaseUnitX(), builder.BaseUnitY(),
                                                 builder.BaseUnitX(), builder.BaseUnitY()));
    // Each edge is rounded on its own, so adjacent rows stay adjacent in pixels.
    const QRect upper = builder.ToPixels(0, 0, 10, 13);
    const QRect lower = builder.ToPixels(0, 13, 10, 13);
    QCOMPARE(upper.bottom() + 1, lower.top());

    // A larger desktop font gives larger dialogs, whatever the screen's resolution.
    const QFont desktop = QApplication::font();
    QFont larger = desktop;
    larger.setPointSizeF(desktop.pointSizeF() + 3);
    QApplication::setFont(larger);
    const CDialogBuilder grown(OptionsTemplate());
    QApplication::setFont(desktop);
    const CDialogBuilder usual(OptionsTemplate());
    QVERIFY(grown.ToPixels(0, 0, 223, 197).width() > usual.ToPixels(0, 0, 223, 197).width());
    QVERIFY(grown.ToPixels(0, 0, 223, 197).height() > usual.ToPixels(0, 0, 223, 197).height());
    QCOMPARE(grown.Font().pointSizeF(), larger.pointSizeF());
}

// Desktop fonts are wider for their height than the one the templates were laid out with: the x
// unit widens until "% Filter " and the others fit, at the desktop's size and at a larger one, and
// no label breaks onto a second line.
void DialogBuilderTest::TextsFitTheirControlsOnOneLine() {
    const QFont desktop = QApplication::font();
    for (const double grow : {0.0, 2.0, 5.0}) {
        QFont font = desktop;
        font.setPointSizeF(desktop.pointSizeF() + grow);
        QApplication::setFont(font);
        TextsFitAtTheApplicationFont();
    }
    QApplication::setFont(desktop);
}

void DialogBuilderTest::TextsFitAtTheApplicationFont() {
    for (const DialogTemplate* dialogTemplate :
         {&AboutTemplate(), &MainTemplate(), &OptionsTemplate(), &SignalTemplate()}) {
        const CDialogBuilder builder(*dialogTemplate);
        QCOMPARE(builder.Font().pointSizeF(), QApplication::font().pointSizeF());
        QDialog dialog;
        builder.Build(&dialog);
        const QFontMetrics metrics(dialog.font());
        QVERIFY(metrics.height() <= builder.BaseUnitY());
        for (const ControlTemplate& row : dialogTemplate->controls) {
            QWidget* control = DialogItem(&dialog, row.id);
            if (auto* label = qobject_cast<QLabel*>(control); label && label->pixmap().isNull()) {
                QVERIFY2(!label->wordWrap(), row.text);
                QVERIFY2(metrics.horizontalAdvance(label->text().trimmed()) <= label->width(),
                         row.text);
            }
            if (auto* box = qobject_cast<QCheckBox*>(control)) {
                QStyleOptionButton option;
                option.initFrom(box);
                const QRect text =
                    box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
                QVERIFY2(metrics.horizontalAdvance(box->text()) <= text.width(), row.text);
            }
        }
    }
}

// The first row of a group sits just under its top edge: the frame must start in the middle of
// the title, not under it.
void DialogBuilderTest::GroupFramesRunThroughTheirTitles() {
    CDialogBuilder builder(OptionsTemplate());
    QDialog dialog;
    builder.Build(&dialog);
    dialog.show();
    auto* leader = qobject_cast<QGroupBox*>(DialogItem(&dialog, 1013));
    const QImage picture = leader->grab().toImage();
    const int middleOfTitle = QFontMetrics(leader->font()).height() / 2;
    const QColor background = picture.pixelColor(leader->width() / 2, leader->height() / 2);
    const int right = leader->width() - 4;  // right of the title, left of the right edge
    QVERIFY(picture.pixelColor(right, middleOfTitle) != background);
    const int firstRowTop = DialogItem(&dialog, 1015)->y() - leader->y();
    for (int y = middleOfTitle + 2; y < firstRowTop; ++y) {
        QCOMPARE(picture.pixelColor(right, y), background);
    }
}

void DialogBuilderTest::EveryControlMatchesItsRow() {
    for (const int32_t id :
         {kAboutTemplateId, kMainTemplateId, kOptionsTemplateId, kSignalTemplateId}) {
        const DialogTemplate* dialogTemplate = FindDialogTemplate(id);
        QVERIFY(dialogTemplate != nullptr);
        CDialogBuilder builder(*dialogTemplate);
        QDialog dialog;
        builder.Build(&dialog);
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8(dialogTemplate->caption));
        QCOMPARE(dialog.size(),
                 builder.ToPixels(0, 0, dialogTemplate->width, dialogTemplate->height).size());
        for (const ControlTemplate& row : dialogTemplate->controls) {
            if (row.id < 0) {
                continue;  // shared static id
            }
            QWidget* control = DialogItem(&dialog, row.id);
            QVERIFY2(control != nullptr, qPrintable(QString::number(row.id)));
            QCOMPARE(control->geometry(), builder.ToPixels(row.x, row.y, row.width, row.height));
            QVERIFY2(HasKind(control, row.kind), qPrintable(QString::number(row.id)));
            if (row.kind != ControlKind::Edit) {
                QCOMPARE(TextOf(control), QString::fromUtf8(row.text));
            }
        }
    }
    QVERIFY(FindDialogTemplate(101) == nullptr);
}

void DialogBuilderTest::TabOrderFollowsTheTable() {
    CDialogBuilder builder(MainTemplate());
    QDialog dialog;
    builder.Build(&dialog);
    const std::vector<int32_t> order = {1011, 1002, 1008, 1012, 1009, 1003, 1004, 1005, 1013};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = DialogItem(&dialog, order[i])->nextInFocusChain();
        while (next != nullptr && next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, DialogItem(&dialog, order[i + 1]));
    }
    // The main window is built visible; the others wait to be shown.
    QVERIFY(dialog.isVisible());
}

void DialogBuilderTest::StylesReachTheWidgets() {
    CDialogBuilder builder(OptionsTemplate());
    QDialog dialog;
    builder.Build(&dialog);
    QVERIFY(!dialog.isVisible());
    QVERIFY(qobject_cast<QPushButton*>(DialogItem(&dialog, 1))->isDefault());
    QVERIFY(!qobject_cast<QPushButton*>(DialogItem(&dialog, 2))->isDefault());

    auto* numeric = qobject_cast<QLineEdit*>(DialogItem(&dialog, 1015));
    numeric->setFocus();
    QTest::keyClicks(numeric, QStringLiteral("3a6"));
    QCOMPARE(numeric->text(), QStringLiteral("36"));
    auto* baseName = qobject_cast<QLineEdit*>(DialogItem(&dialog, 1050));
    QTest::keyClicks(baseName, QStringLiteral("take.7"));
    QCOMPARE(baseName->text(), QStringLiteral("take.7"));
}

void DialogBuilderTest::FactoriesReplaceDefaultWidgets() {
    CDialogBuilder builder(MainTemplate());
    builder.SetFactory(1012, [](const ControlTemplate&, QWidget* parent) {
        auto* custom = new QLabel(QStringLiteral("custom list"), parent);
        return custom;
    });
    QDialog dialog;
    builder.Build(&dialog);
    auto* list = qobject_cast<QLabel*>(DialogItem(&dialog, 1012));
    QVERIFY(list != nullptr);
    QCOMPARE(list->geometry(), builder.ToPixels(7, 13, 187, 162));
}

QTEST_MAIN(DialogBuilderTest)
#include "DialogBuilderTest.moc"
