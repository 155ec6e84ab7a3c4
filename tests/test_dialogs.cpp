// The information, message and about dialogs: byte limits of the text fields,
// results and recorded rectangles, Tab order, message kinds, about box texts,
// dragging, and what every dialog shows in both languages.
#include <QApplication>
#include <QClipboard>
#include <QToolTip>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <memory>

#include "app/ConversionJob.h"
#include "platform/Cp932.h"
#include "tests/DialogDriving.h"
#include "ui/Layouts.h"
#include "ui/AboutDialog.h"
#include "ui/DialogUnits.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/BitmapPanel.h"
#include "ui/CheckBitmapButton.h"
#include "ui/HoverBitmapButton.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

using namespace quorbin;

Q_DECLARE_METATYPE(quorbin::Language)

namespace {

// Handles the next modal box (the text limit warning) and reports its text.
void AnswerNextMessageBox(QString* text)
{
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        }
    });
}

// Types `text` one character at a time, as a keyboard would deliver it.
void Type(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

// Commits `text` through the input method, as Japanese text usually arrives.
void Commit(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

std::size_t Cp932Bytes(const QString& text)
{
    return Utf8ToCp932Lossy(text.toStdString()).size();
}

void SendMouse(QWidget* window, QEvent::Type type, QPoint local, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(local), QPointF(window->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

// Presses at `from` (window point), moves the pointer by `delta`, releases.
void Drag(QWidget* window, QPoint from, QPoint delta)
{
    SendMouse(window, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(window, QEvent::MouseMove, from + delta, Qt::LeftButton);
    SendMouse(window, QEvent::MouseButtonRelease, from + delta, Qt::NoButton);
}

void Click(QWidget* widget, QPoint at = {})
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

enum class Which { Info, Message, About };

std::unique_ptr<SkinnedDialog> MakeDialog(Which which, QWidget* owner, Language language = Language::English())
{
    switch (which) {
    case Which::Info: return std::make_unique<InfoDialog>(owner, language);
    case Which::Message: return std::make_unique<MessageDialog>(owner, language);
    case Which::About: return std::make_unique<AboutDialog>(owner, language);
    }
    return nullptr;
}

bool SameRect(const ScreenRect& a, const ScreenRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance;
}

// True when some pixel of `area` in `image` is close to `colour`.
bool AreaHasColour(const QImage& image, QRect area, QColor colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(image.pixelColor(x, y), colour, 24))
                return true;
    return false;
}

// The shape of `control` in its window's coordinates.
QRegion ShapeIn(const BitmapButtonBase* control)
{
    return control->Shape().translated(control->pos());
}

}  // namespace

class DialogTests : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitConversion_data();
    void dialogUnitConversion();
    void layoutsExistInBothLanguages();

    void validatorCountsCp932Bytes_data();
    void validatorCountsCp932Bytes();
    void validatorLetsOverlongTextShrinkOnly();
    void typingStopsAtByteLimit_data();
    void typingStopsAtByteLimit();
    void pasteIsCutAtByteLimitWithANote_data();
    void pasteIsCutAtByteLimitWithANote();

    void fieldsShowMembersWhenOpened();
    void clearThenOkDeliversEmptyAnswers();
    void protectionFollowsTicks_data();
    void protectionFollowsTicks();
    void overlongTextKeepsDialogOpen_data();
    void overlongTextKeepsDialogOpen();
    void tabReachesEveryButtonAndSpacePressesIt_data();
    void tabReachesEveryButtonAndSpacePressesIt();
    void fieldsUseDialogFontWithoutFrame_data();
    void fieldsUseDialogFontWithoutFrame();

    void resultsAndRecordedRect_data();
    void resultsAndRecordedRect();
    void dragMovesDialogAndLastRectFollows_data();
    void dragMovesDialogAndLastRectFollows();

    void messageKinds_data();
    void messageKinds();
    void messageLineDrawnOverPanel();
    void everyMessageFitsItsLine_data();
    void everyMessageFitsItsLine();

    void aboutNameLineAndTexts_data();
    void aboutNameLineAndTexts();
    void aboutPaintsLogoAndOffWhiteTexts();

    void controlsShowTheirPicturesAndTexts_data();
    void controlsShowTheirPicturesAndTexts();
};

// --- layouts and dialog units ---------------------------------------------

void DialogTests::dialogUnitConversion_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << 8 << 6 << 4 << 12;
    QTest::newRow("half rounds up") << 13 << 12 << 8 << 20;
    QTest::newRow("below half rounds down") << 17 << 6 << 8 << 13;
    QTest::newRow("negative half rounds away from zero") << -3 << 3 << 2 << -5;
    QTest::newRow("negative divisor") << 3 << 3 << -2 << -5;
    QTest::newRow("no overflow of the product") << 2000000000 << 4 << 8 << 1000000000;
    QTest::newRow("zero divisor") << 5 << 1 << 0 << -1;
}

void DialogTests::dialogUnitConversion()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(MulDiv(a, b, c), expected);
}

// Japanese has its own layouts; every other language takes the English ones.
void DialogTests::layoutsExistInBothLanguages()
{
    for (int id : {IDD_MAIN, IDD_INFO, IDD_MESSAGE, IDD_ABOUT}) {
        for (const Language& language : {Language::English(), Language::Japanese(), Language("de")}) {
            const DialogLayout& layout = LoadLayout(id, language);
            QCOMPARE(layout.id, id);
            QCOMPARE(layout.language.IsJapanese(), language.IsJapanese());
            QVERIFY(!layout.controls.empty());
            for (const LayoutControl& control : layout.controls)
                QVERIFY(control.kind != ControlKind::Button || control.Has(kStyleOwnerDraw));
        }
        QVERIFY(&LoadLayout(id, Language("de")) == &LoadLayout(id, Language::English()));
    }
    QCOMPARE(LoadLayout(131, Language::English()).id, 0);
    QVERIFY(LoadLayout(131, Language::Japanese()).controls.empty());
}

// --- byte limits ------------------------------------------------------------

void DialogTests::validatorCountsCp932Bytes_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    const QString a50(50, QLatin1Char('a'));
    QTest::newRow("50 ascii bytes") << 50 << a50 << int(QValidator::Acceptable);
    QTest::newRow("51 ascii bytes") << 50 << a50 + QLatin1Char('a') << int(QValidator::Invalid);
    QTest::newRow("25 double-byte") << 50 << QString(25, QChar(0x3042)) << int(QValidator::Acceptable);
    QTest::newRow("26 double-byte") << 50 << QString(26, QChar(0x3042)) << int(QValidator::Invalid);
    QTest::newRow("49 ascii + double-byte") << 50 << a50.left(49) + QChar(0x6625) << int(QValidator::Invalid);
    QTest::newRow("50 half-width kana are single bytes")
        << 50 << QString(50, QChar(0xFF71)) << int(QValidator::Acceptable);
    QTest::newRow("hangul has no CP932 form") << 50 << QStringLiteral("ab\uD55Cc") << int(QValidator::Invalid);
    QTest::newRow("emoji has no CP932 form") << 256 << QStringLiteral("x\U0001F600") << int(QValidator::Invalid);
    QTest::newRow("empty") << 50 << QString() << int(QValidator::Acceptable);
    QTest::newRow("128 double-byte copyright") << 256 << QString(128, QChar(0x6F22)) << int(QValidator::Acceptable);
    QTest::newRow("257 bytes copyright") << 256 << QString(127, QChar(0x6F22)) + QStringLiteral("abc")
                                         << int(QValidator::Invalid);
}

void DialogTests::validatorCountsCp932Bytes()
{
    QFETCH(int, limit);
    QFETCH(QString, text);
    QFETCH(int, state);
    Cp932LimitValidator validator(std::size_t(limit), nullptr);
    int pos = 0;
    QCOMPARE(int(validator.validate(text, pos)), state);
}

void DialogTests::validatorLetsOverlongTextShrinkOnly()
{
    Cp932LimitValidator validator(50, nullptr);
    validator.AllowUpTo(60);
    int pos = 0;
    QString sixty(60, QLatin1Char('t'));
    QString sixtyOne(61, QLatin1Char('t'));
    QString fiftyFive(55, QLatin1Char('t'));
    QString fiftyEight(58, QLatin1Char('t'));
    QCOMPARE(validator.validate(sixtyOne, pos), QValidator::Invalid);
    QCOMPARE(validator.validate(sixty, pos), QValidator::Intermediate);
    QCOMPARE(validator.validate(fiftyFive, pos), QValidator::Intermediate);
    QCOMPARE(validator.validate(fiftyEight, pos), QValidator::Invalid);
    validator.AllowUpTo(10);
    QCOMPARE(validator.validate(fiftyFive, pos), QValidator::Invalid);
}

void DialogTests::typingStopsAtByteLimit_data()
{
    QTest::addColumn<bool>("copyright");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("throughInputMethod");
    QTest::addColumn<QString>("expected");
    const QString a(60, QLatin1Char('a'));
    QTest::newRow("ascii title") << false << a << false << a.left(50);
    QTest::newRow("double-byte title") << false << QString(30, QChar(0x3042)) << false << QString(25, QChar(0x3042));
    QTest::newRow("double-byte cannot take the 50th byte")
        << false << a.left(49) + QChar(0x3042) + QLatin1Char('b') << false << a.left(49) + QLatin1Char('b');
    QTest::newRow("half-width kana title")
        << false << QString(55, QChar(0xFF71)) << false << QString(50, QChar(0xFF71));
    QTest::newRow("unencodable refused") << false << QStringLiteral("ab\uD55Ccd") << false << QStringLiteral("abcd");
    QTest::newRow("input method commit cut at the limit")
        << false << QString(24, QChar(0x3042)) + QStringLiteral("\u6625\u306E") << true
        << QString(24, QChar(0x3042)) + QChar(0x6625);
    QTest::newRow("ascii copyright") << true << QString(300, QLatin1Char('c')) << false
                                     << QString(256, QLatin1Char('c'));
    QTest::newRow("double-byte copyright")
        << true << QString(130, QChar(0x6F22)) << false << QString(128, QChar(0x6F22));
}

void DialogTests::typingStopsAtByteLimit()
{
    QFETCH(bool, copyright);
    QFETCH(QString, typed);
    QFETCH(bool, throughInputMethod);
    QFETCH(QString, expected);
    QDialog owner;
    InfoDialog dialog(&owner);
    dialog.show();
    QLineEdit* field = copyright ? dialog.CopyrightField() : dialog.TitleField();
    if (throughInputMethod) {
        Commit(field, typed.left(24));
        Commit(field, typed.mid(24));
    } else if (typed.toLatin1() == typed.toUtf8()) {
        QTest::keyClicks(field, typed);
    } else {
        Type(field, typed);
    }
    QCOMPARE(field->text(), expected);
    QVERIFY(Cp932Bytes(field->text()) <= (copyright ? 256u : 50u));
}

// A paste keeps what fits (whole characters, at the cursor) and leaves out
// what a melody file cannot hold; a note under the field says so.
void DialogTests::pasteIsCutAtByteLimitWithANote_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("refusals");
    const QString a(60, QLatin1Char('a'));
    const QString kana(30, QChar(0x3042));
    QTest::newRow("fits whole") << QString() << 0 << a.left(50) << a.left(50) << 0;
    QTest::newRow("ascii cut at 50 bytes") << QString() << 0 << a << a.left(50) << int(Cp932LimitValidator::CutAtLimit);
    QTest::newRow("double-byte never split") << QStringLiteral("x") << 1 << kana << QStringLiteral("x") + kana.left(24)
                                             << int(Cp932LimitValidator::CutAtLimit);
    QTest::newRow("into the middle") << QStringLiteral("head tail") << 5 << a
                                     << QStringLiteral("head ") + a.left(41) + QStringLiteral("tail")
                                     << int(Cp932LimitValidator::CutAtLimit);
    QTest::newRow("unencodable left out") << QStringLiteral("ab") << 2 << QStringLiteral("c\uD55Cd\U0001F600e")
                                          << QStringLiteral("abcde") << int(Cp932LimitValidator::LeftOutUnencodable);
    QTest::newRow("both") << QString() << 0 << QStringLiteral("\uD55C") + a << a.left(50)
                          << int(Cp932LimitValidator::LeftOutUnencodable | Cp932LimitValidator::CutAtLimit);
}

void DialogTests::pasteIsCutAtByteLimitWithANote()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    QFETCH(int, refusals);
    QDialog owner;
    InfoDialog dialog(&owner, Language::English());
    dialog.show();
    QToolTip::hideText();
    QLineEdit* field = dialog.TitleField();
    field->setText(before);
    field->setCursorPosition(cursor);
    QApplication::clipboard()->setText(pasted);
    field->paste();
    QCOMPARE(field->text(), expected);
    QVERIFY(Cp932Bytes(field->text()) <= 50u);
    if (refusals) {
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), InputRefusedNote(Language::English(), refusals, 50));
    } else {
        QVERIFY(!QToolTip::isVisible());
    }
}

// --- information dialog -----------------------------------------------------

void DialogTests::fieldsShowMembersWhenOpened()
{
    QDialog owner;
    InfoDialog dialog(&owner, Language::Japanese());
    QCOMPARE(dialog.ProtectionBox()->GetState(), 0);
    dialog.SetTitle(*Utf8ToCp932("春の小川"));
    dialog.show();
    QCOMPARE(dialog.TitleField()->text(), QStringLiteral("春の小川"));
    QCOMPARE(dialog.CopyrightField()->text(), QString());
    QCOMPARE(dialog.ProtectionBox()->GetState(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.TitleField()));
}

void DialogTests::clearThenOkDeliversEmptyAnswers()
{
    QDialog owner;
    InfoDialog dialog(&owner);
    dialog.SetTitle("drum loop");
    dialog.SetCopyright("(C) 2003");
    const int result = RunModal(dialog, [&](QDialog*) {
        QTest::keyClicks(dialog.TitleField(), " two");
        Click(dialog.ProtectionBox());
        QCOMPARE(dialog.ProtectionBox()->GetState(), 1);
        Click(dialog.ClearButton());
        QCOMPARE(dialog.TitleField()->text(), QString());
        QCOMPARE(dialog.CopyrightField()->text(), QString());
        QCOMPARE(dialog.ProtectionBox()->GetState(), 0);
        // The limit still holds after clearing.
        QTest::keyClicks(dialog.TitleField(), QString(55, QLatin1Char('z')));
        QCOMPARE(dialog.TitleField()->text().size(), 50);
        dialog.TitleField()->clear();
        Click(dialog.OkButton());
    });
    QCOMPARE(result, 1);
    QCOMPARE(dialog.Title(), std::string());
    QCOMPARE(dialog.Copyright(), std::string());
    QCOMPARE(dialog.Protection(), false);
}

void DialogTests::protectionFollowsTicks_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("expected");
    QTest::newRow("untouched") << 0 << false;
    QTest::newRow("ticked") << 1 << true;
    QTest::newRow("ticked twice") << 2 << false;
    QTest::newRow("ticked three times") << 3 << true;
}

void DialogTests::protectionFollowsTicks()
{
    QFETCH(int, clicks);
    QFETCH(bool, expected);
    QDialog owner;
    InfoDialog dialog(&owner);
    const int result = RunModal(dialog, [&](QDialog*) {
        for (int i = 0; i < clicks; ++i)
            Click(dialog.ProtectionBox());
        QTest::keyClicks(dialog.CopyrightField(), "(C) 2003 me");
        QTest::keyClick(dialog.CopyrightField(), Qt::Key_Return);
    });
    QCOMPARE(result, 1);
    QCOMPARE(dialog.Protection(), expected);
    QCOMPARE(dialog.Copyright(), std::string("(C) 2003 me"));
}

void DialogTests::overlongTextKeepsDialogOpen_data()
{
    QTest::addColumn<int>("titleBytes");
    QTest::addColumn<int>("copyrightBytes");
    QTest::addColumn<bool>("copyrightFails");
    QTest::addColumn<int>("limit");
    QTest::newRow("title too long") << 52 << 10 << false << 50;
    QTest::newRow("copyright checked first") << 60 << 258 << true << 256;
}

void DialogTests::overlongTextKeepsDialogOpen()
{
    QFETCH(int, titleBytes);
    QFETCH(int, copyrightBytes);
    QFETCH(bool, copyrightFails);
    QFETCH(int, limit);
    QDialog owner;
    InfoDialog dialog(&owner, Language::Japanese());
    dialog.SetTitle(std::string(std::size_t(titleBytes), 't'));
    dialog.SetCopyright(std::string(std::size_t(copyrightBytes), 'c'));
    QString warning;
    bool stayedOpen = false;
    QWidget* focusAfterWarning = nullptr;
    const int result = RunModal(dialog, [&](QDialog*) {
        AnswerNextMessageBox(&warning);
        Click(dialog.OkButton());
        stayedOpen = dialog.isVisible();
        focusAfterWarning = dialog.focusWidget();
        // The over-long text can be shortened, not lengthened.
        QLineEdit* field = copyrightFails ? dialog.CopyrightField() : dialog.TitleField();
        field->setCursorPosition(field->text().size());
        QTest::keyClick(field, Qt::Key_A);
        QCOMPARE(field->text().size(), copyrightFails ? copyrightBytes : titleBytes);
        dialog.CopyrightField()->setText(QStringLiteral("ok"));
        dialog.TitleField()->setText(QStringLiteral("fine"));
        Click(dialog.OkButton());
    });
    QVERIFY(stayedOpen);
    QCOMPARE(warning, QStringLiteral("%1 文字以内で入力してください。").arg(limit));
    QCOMPARE(focusAfterWarning, static_cast<QWidget*>(copyrightFails ? dialog.CopyrightField() : dialog.TitleField()));
    QCOMPARE(result, 1);
    QCOMPARE(dialog.Title(), std::string("fine"));
    QCOMPARE(TextLimitWarning(Language::English(), 50), QStringLiteral("Please enter no more than 50 characters."));
}

void DialogTests::tabReachesEveryButtonAndSpacePressesIt_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("info") << int(Which::Info);
    QTest::newRow("message") << int(Which::Message);
    QTest::newRow("about") << int(Which::About);
}

void DialogTests::tabReachesEveryButtonAndSpacePressesIt()
{
    QFETCH(int, which);
    QDialog owner;
    auto dialog = MakeDialog(Which(which), &owner);
    QList<QWidget*> cycle{OkButtonOf(dialog.get()), PowerButtonOf(dialog.get())};
    QWidget* first = dialog.get();  // the dialog itself holds the focus until Tab
    if (auto* about = qobject_cast<AboutDialog*>(dialog.get()))
        cycle.prepend(about->WebLink());
    if (auto* info = qobject_cast<InfoDialog*>(dialog.get())) {
        first = info->TitleField();
        cycle = {info->CopyrightField(), info->ProtectionBox(), info->ClearButton(), info->OkButton(),
                 info->CancelButton(),   info->PowerButton(),   info->TitleField()};
    }
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QTRY_COMPARE(QApplication::focusWidget(), first);
    for (QWidget* next : cycle) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), cycle[cycle.size() - 2]);

    if (auto* info = qobject_cast<InfoDialog*>(dialog.get())) {
        info->ProtectionBox()->setFocus();
        QTest::keyClick(info->ProtectionBox(), Qt::Key_Space);
        QCOMPARE(info->ProtectionBox()->GetState(), 1);
        QVERIFY(info->ProtectionBox()->isChecked());
    }
    OkButtonOf(dialog.get())->setFocus();
    QTest::keyClick(OkButtonOf(dialog.get()), Qt::Key_Space);
    QCOMPARE(dialog->result(), int(SkinnedDialog::ResultOk));
    QVERIFY(!dialog->isVisible());
}

void DialogTests::fieldsUseDialogFontWithoutFrame_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("English") << Language::English() << 11;
    QTest::newRow("Japanese") << Language::Japanese() << 12;
}

void DialogTests::fieldsUseDialogFontWithoutFrame()
{
    QFETCH(Language, language);
    QFETCH(int, pixelSize);
    QDialog owner;
    InfoDialog dialog(&owner, language);
    for (QLineEdit* field : {dialog.TitleField(), dialog.CopyrightField()}) {
        QVERIFY(!field->hasFrame());
        QCOMPARE(field->font().families().value(0), QString::fromUtf8(LoadLayout(IDD_INFO, language).fontFamily));
        QCOMPARE(QFontInfo(field->font()).pixelSize(), pixelSize);
        QCOMPARE(field->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    }
    if (language == Language::Japanese())  // kanji from a Japanese face, not a Chinese fallback
        QVERIFY2(QFontInfo(dialog.font()).family().startsWith(QLatin1String("IPA")),
                 qPrintable(QFontInfo(dialog.font()).family()));
}

// --- results shared by the three dialogs -------------------------------------

void DialogTests::resultsAndRecordedRect_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("recorded");
    const std::pair<Which, const char*> dialogs[] = {
        {Which::Info, "info"}, {Which::Message, "message"}, {Which::About, "about"}};
    for (auto [which, name] : dialogs) {
        const auto row = [&](const char* action, int result, bool recorded) {
            QTest::addRow("%s %s", name, action) << int(which) << QString::fromLatin1(action) << result << recorded;
        };
        row("ok", 1, true);
        row("enter", 1, true);
        row("esc", 2, true);
        row("power", 0, false);
        if (which == Which::Info)
            row("cancel", 2, true);
    }
}

void DialogTests::resultsAndRecordedRect()
{
    QFETCH(int, which);
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(bool, recorded);
    QDialog owner;
    owner.setResult(42);
    auto dialog = MakeDialog(Which(which), &owner);
    dialog->move(123, 77);
    const int ran = RunModal(*dialog, [&](QDialog*) {
        QWidget* keyTarget = QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get();
        if (action == QLatin1String("ok"))
            Click(OkButtonOf(dialog.get()));
        else if (action == QLatin1String("enter"))
            QTest::keyClick(keyTarget, Qt::Key_Return);
        else if (action == QLatin1String("esc"))
            QTest::keyClick(keyTarget, Qt::Key_Escape);
        else if (action == QLatin1String("power"))
            Click(PowerButtonOf(dialog.get()), QPoint(21, 21));  // lower-right half: the power symbol
        else if (action == QLatin1String("cancel"))
            Click(static_cast<InfoDialog*>(dialog.get())->CancelButton());
    });
    QCOMPARE(ran, result);
    const ScreenRect whereItWas{123, 77, 333, 177};
    QCOMPARE(SameRect(dialog->m_lastRect, whereItWas), recorded);
    if (!recorded)
        QVERIFY(SameRect(dialog->m_lastRect, ScreenRect{}));
    // Power also ends the owner's run; nothing else touches the owner.
    QCOMPARE(owner.result(), action == QLatin1String("power") ? 0 : 42);
}

void DialogTests::dragMovesDialogAndLastRectFollows_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QPoint>("pressAt");
    QTest::addColumn<bool>("moves");
    QTest::newRow("info, in the strip") << int(Which::Info) << QPoint(100, 10) << true;
    QTest::newRow("message, strip corner") << int(Which::Message) << QPoint(209, 19) << true;
    QTest::newRow("about, strip origin") << int(Which::About) << QPoint(0, 0) << true;
    QTest::newRow("about, below the strip") << int(Which::About) << QPoint(150, 20) << false;
}

void DialogTests::dragMovesDialogAndLastRectFollows()
{
    QFETCH(int, which);
    QFETCH(QPoint, pressAt);
    QFETCH(bool, moves);
    QDialog owner;
    auto dialog = MakeDialog(Which(which), &owner);
    dialog->move(100, 100);
    const QPoint delta(37, 21);
    const int result = RunModal(*dialog, [&](QDialog*) {
        Drag(dialog.get(), pressAt, delta);
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    });
    QCOMPARE(result, 2);
    const QPoint expected = moves ? QPoint(100, 100) + delta : QPoint(100, 100);
    QCOMPARE(QPoint(dialog->m_lastRect.left, dialog->m_lastRect.top), expected);
    QCOMPARE(dialog->m_lastRect.Width(), 210);
    QCOMPARE(dialog->m_lastRect.Height(), 100);
}

// --- message dialog ---------------------------------------------------------

void DialogTests::messageKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("panel");
    QTest::addColumn<QColor>("colour");
    const int completed = SkinNumber(SkinBitmap::CompletedPanel), caution = SkinNumber(SkinBitmap::CautionPanel);
    QTest::newRow("report") << 1 << completed << QColor(0, 36, 255);
    QTest::newRow("error") << 0 << caution << QColor(255, 216, 0);
    QTest::newRow("other value") << 2 << caution << QColor(255, 216, 0);
    QTest::newRow("negative value") << -1 << caution << QColor(255, 216, 0);
}

void DialogTests::messageKinds()
{
    QFETCH(int, kind);
    QFETCH(int, panel);
    QFETCH(QColor, colour);
    QDialog owner;
    MessageDialog dialog(&owner);
    dialog.SetMessage(1 - kind, "first");  // the last SetMessage decides
    dialog.SetMessage(kind, std::string_view("Output File Size : 1.25KB"));
    dialog.show();
    QCOMPARE(dialog.m_kind, kind);
    QCOMPARE(dialog.m_text, QStringLiteral("Output File Size : 1.25KB"));
    QCOMPARE(dialog.MessageLine()->text(), dialog.m_text);
    QCOMPARE(dialog.MessageLine()->palette().color(QPalette::WindowText), colour);
    const QImage shot = dialog.grab().toImage();
    QVERIFY(AreaHasColour(shot, dialog.MessageLine()->geometry(), colour));
    // The panel of the kind shows beside the line.
    const QImage picture = LoadSkinBitmap(static_cast<SkinBitmap>(panel));
    const QPoint beside(dialog.Panel()->width() / 2, 10);
    QCOMPARE(shot.pixelColor(dialog.Panel()->pos() + beside), picture.pixelColor(beside));
}

void DialogTests::everyMessageFitsItsLine_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("English") << Language::English();
    QTest::newRow("Japanese") << Language::Japanese();
}

// Each message of the string table, the size report with a large size, and
// the failures with the longest reasons and ways out, are inked wholly inside
// the text area under the panel's rule, legibly: nothing is clipped, nothing
// reaches the close button. The message itself stays the first line.
void DialogTests::everyMessageFitsItsLine()
{
    QFETCH(Language, language);
    QDialog owner;
    MessageDialog dialog(&owner, language);
    dialog.show();
    QList<JobMessage> messages;
    for (int id = IDS_OUTPUT_SIZE; id <= IDS_DISK_SPACE; ++id) {
        const bool report = id == IDS_OUTPUT_SIZE;
        const QString text = QString::fromUtf8(LoadString(id, language));
        messages.append({report ? MessageDialog::KindReport : MessageDialog::KindError,
                         report ? text + QStringLiteral("127.99KB") : text,
                         {},
                         {}});
    }
    const FailureReason stereo{ReasonKind::FormatFound, 0, {}, WaveFormat{0xFFFE, 2, 44100, 24}};
    const struct {
        StepFailure failure;
        FailureReason reason;
        const char* path;
        WayOut wayOut;
    } failures[] = {
        {StepFailure::Unsupported, stereo, "cd.wav", WayOut::None},
        {StepFailure::Unsupported, stereo, "cd.wav", WayOut::Editor},
        {StepFailure::NotWave, {}, "memo.m4a", WayOut::Editor},
        {StepFailure::CannotSave, FailureReason::Of(ReasonKind::DanglingLink), "a.wav", WayOut::None},
        {StepFailure::CannotSave, FailureReason::System(ELOOP), "a.wav", WayOut::None},
    };
    for (const auto& [failure, reason, path, wayOut] : failures)
        messages.append(FailureMessageFor(failure, reason, QString::fromUtf8(path), wayOut, language));

    QLabel* line = dialog.MessageLine();
    const QRect area = ToQRect(skin_place::kMessageText);
    for (const JobMessage& message : messages) {
        dialog.SetMessage(message.kind, message.text);
        dialog.SetReason(message.reason);
        const QString shown = line->text();
        QCOMPARE(shown.section(QLatin1Char('\n'), 0, 0), message.text);
        QCOMPARE(shown.section(QLatin1Char('\n'), 1), message.reason);
        const QRect ink = TextInk(line->font(), line->geometry(), line->alignment(), shown);
        QVERIFY2(area.contains(ink) && ink.bottom() < dialog.OkButton()->y(), qPrintable(shown));
        QVERIFY2(line->font().pixelSize() >= 9, qPrintable(shown));
    }
}

void DialogTests::messageLineDrawnOverPanel()
{
    QDialog owner;
    MessageDialog dialog(&owner, Language::Japanese());
    dialog.SetMessage(0, QString());
    dialog.show();
    const QObjectList& children = dialog.children();
    QVERIFY(children.indexOf(dialog.MessageLine()) > children.indexOf(dialog.Panel()));
    QVERIFY(dialog.MessageLine()->alignment() == Qt::AlignCenter);
    // With no text the panel, or beyond its cut corner the background, shows
    // through the whole line: nothing is filled.
    const QImage shot = dialog.grab().toImage();
    const QImage panel = LoadSkinBitmap(SkinBitmap::CautionPanel);
    const QImage background = LoadSkinBitmap(SkinBitmap::Background);
    QVERIFY(!panel.isNull() && !background.isNull());
    const QRect line = dialog.MessageLine()->geometry();
    for (QPoint p : {line.topLeft(), line.center(), line.bottomRight()}) {
        const QPoint onPanel = p - dialog.Panel()->pos();
        const bool overPanel = dialog.Panel()->Shape().contains(onPanel);
        QCOMPARE(shot.pixelColor(p), overPanel ? panel.pixelColor(onPanel) : background.pixelColor(p));
    }
    // A press on the panel does nothing.
    Click(dialog.Panel(), QPoint(100, 10));
    QVERIFY(dialog.isVisible());
}

// --- about dialog -------------------------------------------------------------

void DialogTests::aboutNameLineAndTexts_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("English") << Language::English();
    QTest::newRow("Japanese") << Language::Japanese();
}

void DialogTests::aboutNameLineAndTexts()
{
    QFETCH(Language, language);
    QDialog owner;
    AboutDialog dialog(&owner, language);
    dialog.show();
    const DialogLayout& layout = LoadLayout(IDD_ABOUT, language);

    QCOMPARE(dialog.TextLine(1002)->text(), QStringLiteral("Quorbin Ver.1.0.0"));
    QVERIFY(QString::fromUtf8(layout.Find(1002)->caption) != QStringLiteral("Quorbin Ver.1.0.0"));
    QVERIFY(dialog.TextLine(1003)->text().contains(QLatin1String("2003")));
    QVERIFY(!dialog.TextLine(1004)->text().isEmpty());

    // The texts keep the layout's order from top to bottom.
    const QList<QLabel*> placed{dialog.TextLine(1002), dialog.TextLine(1003), dialog.TextLine(1004), dialog.WebLink()};
    for (int i = 1; i < placed.size(); ++i)
        QVERIFY(placed[i]->y() > placed[i - 1]->y());

    // No text's ink touches another's, the logo, the top strip or a button,
    // and all of it lies inside the dialog.
    QList<QRect> taken{ToQRect(skin_place::kDragStrip), ToQRect(skin_place::kAboutLogo), dialog.OkButton()->geometry(),
                       dialog.PowerButton()->geometry()};
    for (QLabel* label : placed) {
        const QRect ink = TextInk(label->font(), label->geometry(), label->alignment(), label->text());
        QVERIFY2(dialog.rect().contains(ink), qPrintable(label->text()));
        for (const QRect& other : taken)
            QVERIFY2(!ink.adjusted(-1, -1, 1, 1).intersects(other), qPrintable(label->text()));
        taken.append(ink);
    }

    // Every text fits its rectangle: nothing is clipped.
    for (QLabel* label : {dialog.TextLine(1002), dialog.TextLine(1003), dialog.TextLine(1004),
                          static_cast<QLabel*>(dialog.WebLink())}) {
        const QRect needed = QFontMetrics(label->font()).boundingRect(QRect(), Qt::AlignLeft, label->text());
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height() + 1, qPrintable(label->text()));
        QVERIFY(label->alignment() & Qt::AlignVCenter || label == dialog.WebLink());
    }

    // The link: two lines broken after the host name, centred, blue, underlined, under a hand.
    LinkLabel* link = dialog.WebLink();
    QCOMPARE(link->text().count(QLatin1Char('\n')), 1);
    QVERIFY(link->text().section(QLatin1Char('\n'), 0, 0).endsWith(QLatin1String(".com/")));
    QVERIFY(link->Target().startsWith(QLatin1String("https://example.com/")));
    QVERIFY(link->alignment() & Qt::AlignHCenter);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link->font().underline());
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(LoadLayout(IDD_ABOUT, Language::English()).Find(1006)->caption
            != std::string_view(LoadLayout(IDD_ABOUT, Language::Japanese()).Find(1006)->caption));
}

void DialogTests::aboutPaintsLogoAndOffWhiteTexts()
{
    QDialog owner;
    AboutDialog dialog(&owner, Language::English());
    dialog.show();
    const QImage shot = dialog.grab().toImage();
    const QImage logo = LoadSkinBitmap(SkinBitmap::AboutLogo);
    QVERIFY(!logo.isNull());
    const QPoint at = ToQRect(skin_place::kAboutLogo).topLeft();
    for (QPoint p : {QPoint(0, 0), QPoint(24, 24), QPoint(47, 47)})
        QCOMPARE(shot.pixelColor(at + p), logo.pixelColor(p));
    for (int id : {1002, 1003, 1004}) {
        QCOMPARE(dialog.TextLine(id)->palette().color(QPalette::WindowText), QColor(240, 240, 240));
        QVERIFY(AreaHasColour(shot, dialog.TextLine(id)->geometry(), QColor(240, 240, 240)));
    }
    QVERIFY(AreaHasColour(shot, dialog.WebLink()->geometry(), QColor(0, 0, 255)));
}

// --- what the user sees -----------------------------------------------------------

void DialogTests::controlsShowTheirPicturesAndTexts_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<Language>("language");
    for (const Language& language : {Language::English(), Language::Japanese()}) {
        const char* tag = language.IsJapanese() ? "Japanese" : "English";
        QTest::addRow("info %s", tag) << int(Which::Info) << language;
        QTest::addRow("message %s", tag) << int(Which::Message) << language;
        QTest::addRow("about %s", tag) << int(Which::About) << language;
    }
}

// On a grab of each dialog: every skinned control shows its own picture inside
// the dialog, takes the pointer inside its shape, and overlaps no other; every
// text field and line lies inside the dialog, clear of the controls, tall
// enough for its font; the Power button sits in the lower right corner.
void DialogTests::controlsShowTheirPicturesAndTexts()
{
    QFETCH(int, which);
    QFETCH(Language, language);
    QDialog owner;
    auto dialog = MakeDialog(Which(which), &owner, language);
    dialog->show();
    QCOMPARE(dialog->size(), LoadSkinBitmap(SkinBitmap::Background).size());
    QCOMPARE(dialog->parentWidget(), static_cast<QWidget*>(&owner));
    QVERIFY(dialog->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(PowerButtonOf(dialog.get())->geometry().bottomRight(), dialog->rect().bottomRight());

    const QImage shot = dialog->grab().toImage();
    const QList<BitmapButtonBase*> controls = dialog->findChildren<BitmapButtonBase*>();
    QVERIFY(controls.size() >= 2);
    for (BitmapButtonBase* control : controls) {
        const QImage picture = LoadSkinBitmap(control->Bitmap());
        const int frameTop = control->Frame() * control->height();
        QVERIFY(dialog->rect().contains(control->geometry()));
        int seen = 0;
        for (const QRect& run : control->Shape()) {
            const QPoint p = run.center();
            QCOMPARE(shot.pixel(control->pos() + p), picture.pixel(p.x(), frameTop + p.y()));
            if (!qobject_cast<QLabel*>(dialog->childAt(control->pos() + p)))
                QCOMPARE(dialog->childAt(control->pos() + p), static_cast<QWidget*>(control));
            ++seen;
        }
        QVERIFY(seen > 0);
        for (BitmapButtonBase* other : controls)
            QVERIFY(other == control || !ShapeIn(other).intersects(ShapeIn(control)));
    }
    // What each text field and line takes: a field its box, a line its ink.
    QList<std::pair<QWidget*, QRect>> texts;
    for (QLineEdit* field : dialog->findChildren<QLineEdit*>())
        texts.append({field, field->geometry()});
    for (QLabel* label : dialog->findChildren<QLabel*>())
        texts.append({label, TextInk(label->font(), label->geometry(), label->alignment(), label->text())});
    for (const auto& [text, taken] : texts) {
        QVERIFY(dialog->rect().contains(text->geometry()));
        QVERIFY(QFontMetrics(text->font()).height() <= text->height() + 1);
        for (BitmapButtonBase* control : controls) {
            const bool onPanel = qobject_cast<BitmapPanel*>(control) != nullptr;
            QVERIFY(onPanel || !ShapeIn(control).intersects(taken));
        }
    }
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DialogTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_dialogs.moc"
