#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
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

private slots:
    void DialogUnitsKeepTheDesignedShape();
    void TextsFitTheirControlsOnOneLine();
    void GroupFramesRunThroughTheirTitles();
    void EveryControlMatchesItsRow();
    void TabOrderFollowsTheTable();
    void StylesReachTheWidgets();
    void FactoriesReplaceDefaultWidgets();
};

void DialogBuilderTest::DialogUnitsKeepTheDesignedShape() {
    // 6 x 13 pixels per 4 x 8 units at 96 dpi, whatever font the desktop has.
    const CDialogBuilder builder(SignalTemplate());
    const double scale = QGuiApplication::primaryScreen()->logicalDotsPerInchY() / 96.0;
    QCOMPARE(builder.BaseUnitX(), qRound(6 * scale));
    QCOMPARE(builder.BaseUnitY(), qRound(13 * scale));
    QCOMPARE(builder.ToPixels(4, 8, 4, 8), QRect(builder.BaseUnitX(), builder.BaseUnitY(),
                                                 builder.BaseUnitX(), builder.BaseUnitY()));
    // Each edge is rounded on its own, so adjacent rows stay adjacent in pixels.
    const QRect upper = builder.ToPixels(0, 0, 10, 13);
    const QRect lower = builder.ToPixels(0, 13, 10, 13);
    QCOMPARE(upper.bottom() + 1, lower.top());
}

// Desktop fonts are wider than the designed one: the text shrinks until "% Filter " and the
// others fit, and no label breaks onto a second line.
void DialogBuilderTest::TextsFitTheirControlsOnOneLine() {
    for (const DialogTemplate* dialogTemplate :
         {&AboutTemplate(), &MainTemplate(), &OptionsTemplate(), &SignalTemplate()}) {
        const CDialogBuilder builder(*dialogTemplate);
        QVERIFY(builder.Font().pointSizeF() <= dialogTemplate->pointSize);
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
