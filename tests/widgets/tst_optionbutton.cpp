// SPDX-License-Identifier: GPL-3.0-or-later
// Option buttons: exclusive per container, clickedIndex(index) once for every new selection
// by code or by the user, nothing for a repeat selection or for clearing.
#include "widgets/optionbutton.h"

#include <QTest>
#include <QWidget>

using orvik::OptionButton;

namespace {

// One emission as its slot saw it.
struct Click {
    int index;
    bool checkedThen;
    bool siblingCheckedThen;
    bool afterReturn;

    bool operator==(const Click&) const = default;
};

} // namespace

class TestOptionButton : public QObject {
    Q_OBJECT
private slots:
    void exclusiveWithinContainer_data();
    void exclusiveWithinContainer();
    void setValue_data();
    void setValue();
    void clearedButtonStaysExclusive();
    void userClick_data();
    void userClick();
};

void TestOptionButton::exclusiveWithinContainer_data()
{
    QTest::addColumn<bool>("sameContainer");
    QTest::addColumn<bool>("byUser");

    QTest::addRow("same container, code") << true << false;
    QTest::addRow("same container, user") << true << true;
    QTest::addRow("two containers, code") << false << false;
    QTest::addRow("two containers, user") << false << true;
}

void TestOptionButton::exclusiveWithinContainer()
{
    QFETCH(bool, sameContainer);
    QFETCH(bool, byUser);

    QWidget window;
    auto* left = new QWidget(&window);
    auto* right = new QWidget(&window);
    left->setGeometry(0, 0, 150, 40);
    right->setGeometry(0, 50, 150, 40);
    auto* first = new OptionButton(0, left);
    auto* second = new OptionButton(1, sameContainer ? left : right);
    first->setText(QStringLiteral("First"));
    second->setText(QStringLiteral("Second"));
    first->setGeometry(0, 0, 120, 20);
    second->setGeometry(0, 20, 120, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    first->setValue(true);
    if (byUser)
        QTest::mouseClick(second, Qt::LeftButton, {}, second->rect().center());
    else
        second->setValue(true);

    QVERIFY(second->value());
    QCOMPARE(first->value(), !sameContainer);
}

void TestOptionButton::setValue_data()
{
    QTest::addColumn<bool>("startChecked");
    QTest::addColumn<bool>("siblingChecked");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("clicked");

    QTest::addRow("select, sibling selected") << false << true << true << true;
    QTest::addRow("select, none selected") << false << false << true << true;
    QTest::addRow("select the selected one") << true << false << true << false;
    QTest::addRow("clear the selected one") << true << false << false << false;
    QTest::addRow("clear an unselected one") << false << true << false << false;
    QTest::addRow("clear with none selected") << false << false << false << false;
}

void TestOptionButton::setValue()
{
    QFETCH(bool, startChecked);
    QFETCH(bool, siblingChecked);
    QFETCH(bool, select);
    QFETCH(bool, clicked);

    QWidget container;
    auto* sibling = new OptionButton(3, &container);
    auto* button = new OptionButton(7, &container);
    if (startChecked)
        button->setValue(true);
    if (siblingChecked)
        sibling->setValue(true);

    bool returned = false;
    QList<Click> seen;
    for (OptionButton* b : {sibling, button}) {
        connect(b, &OptionButton::clickedIndex, this, [&, b](int index) {
            QCOMPARE(index, b->index());
            seen.append({index, button->value(), sibling->value(), returned});
        });
    }
    button->setValue(select);
    returned = true;
    QCoreApplication::processEvents();

    QCOMPARE(button->value(), select);
    // A new selection clears the sibling; clearing or reselecting leaves the sibling alone.
    QCOMPARE(sibling->value(), select ? false : siblingChecked);
    if (clicked)
        QCOMPARE(seen, (QList<Click>{
                           Click{7, true, false, false}
        }));
    else
        QCOMPARE(seen.size(), 0);
}

void TestOptionButton::clearedButtonStaysExclusive()
{
    QWidget container;
    auto* a = new OptionButton(0, &container);
    auto* b = new OptionButton(1, &container);
    a->setValue(true);
    a->setValue(false);
    QVERIFY(!a->value());
    QVERIFY(a->autoExclusive());

    a->setValue(true);
    b->setValue(true);
    QVERIFY(!a->value());
    QVERIFY(b->value());
}

void TestOptionButton::userClick_data()
{
    QTest::addColumn<int>("checkedBefore"); // -1 none, 0 the clicked one, 1 the other one
    QTest::addColumn<int>("clicks");

    QTest::addRow("unselected, none selected") << -1 << 1;
    QTest::addRow("unselected, other selected") << 1 << 1;
    QTest::addRow("already selected") << 0 << 0;
}

void TestOptionButton::userClick()
{
    QFETCH(int, checkedBefore);
    QFETCH(int, clicks);

    QWidget window;
    auto* target = new OptionButton(4, &window);
    auto* other = new OptionButton(5, &window);
    target->setText(QStringLiteral("Target"));
    other->setText(QStringLiteral("Other"));
    target->setGeometry(10, 10, 120, 20);
    other->setGeometry(10, 40, 120, 20);
    if (checkedBefore == 0)
        target->setValue(true);
    else if (checkedBefore == 1)
        other->setValue(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<int> seen;
    connect(target, &OptionButton::clickedIndex, this, [&](int index) { seen.append(index); });
    connect(other, &OptionButton::clickedIndex, this, [&](int index) { seen.append(index); });
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(8, target->height() / 2));

    QVERIFY(target->value());
    QVERIFY(!other->value());
    QCOMPARE(seen, QList<int>(clicks, 4));
}

QTEST_MAIN(TestOptionButton)
#include "tst_optionbutton.moc"
