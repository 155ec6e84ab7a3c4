// Renders the information, message and about dialogs in English and Japanese.
//   quorbin-dialog-shots --shots DIR        one PNG per dialog and language
//   quorbin-dialog-shots --show NAME LANG   one dialog as a real window (NAME:
//                                           info, report, cut, error, format, editor,
//                                           save, about; LANG: en, ja)
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/ConversionJob.h"
#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "platform/Cp932.h"
#include "conversion/StringTable.h"
#include "ui/AboutDialog.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"

using namespace quorbin;

namespace {

std::unique_ptr<SkinnedDialog> MakeDialog(const QString& name, const Language& language, QWidget* owner)
{
    const bool ja = language.IsJapanese();
    if (name == QLatin1String("info")) {
        auto dialog = std::make_unique<InfoDialog>(owner, language);
        dialog->SetTitle(Utf8ToCp932Lossy(ja ? "春の小川" : "spring brook"));
        dialog->SetCopyright(Utf8ToCp932Lossy(ja ? "(C) 2003 山田" : "(C) 2003 J. Smith"));
        return dialog;
    }
    // Failures with a reason: a stereo 44.1 kHz WAVE file, with the way out
    // through the command line or the editor; a folder without write permission.
    const FailureReason stereo{ReasonKind::FormatFound, 0, {}, WaveFormat{1, 2, 44100, 16}};
    const QString wave = QStringLiteral("/music/cd.wav");
    if (name == QLatin1String("format") || name == QLatin1String("editor") || name == QLatin1String("save")) {
        const bool save = name == QLatin1String("save");
        const JobMessage job = FailureMessageFor(
            save ? StepFailure::CannotSave : StepFailure::Unsupported, save ? FailureReason::System(EACCES) : stereo,
            wave, name == QLatin1String("editor") ? WayOut::Editor : WayOut::None, language);
        auto dialog = std::make_unique<MessageDialog>(owner, language);
        dialog->SetMessage(job.kind, job.text);
        dialog->SetReason(job.reason);
        return dialog;
    }
    if (name == QLatin1String("report") || name == QLatin1String("cut") || name == QLatin1String("error")) {
        auto dialog = std::make_unique<MessageDialog>(owner, language);
        const QString report = QString::fromUtf8(LoadString(IDS_OUTPUT_SIZE, language));
        if (name == QLatin1String("report"))
            dialog->SetMessage(MessageDialog::KindReport, report + QStringLiteral("12.34KB"));
        else if (name == QLatin1String("cut"))
            dialog->SetMessage(MessageDialog::KindReport,
                               report + QStringLiteral("64.19KB\n")
                                   + QString::fromStdString(FormatCutNote({131054, 284000, 8000}, language)));
        else
            dialog->SetMessage(MessageDialog::KindError, std::string_view(LoadString(IDS_INVALID_WAVE, language)));
        return dialog;
    }
    if (name == QLatin1String("about"))
        return std::make_unique<AboutDialog>(owner, language);
    return nullptr;
}

int WriteShots(const QString& folder)
{
    QDir().mkpath(folder);
    QWidget owner;
    int failures = 0;
    for (const char* name : {"info", "report", "cut", "error", "format", "editor", "save", "about"}) {
        for (const Language& language : {Language::English(), Language::Japanese()}) {
            auto dialog = MakeDialog(QLatin1String(name), language, &owner);
            dialog->show();
            const QString file = QStringLiteral("%1/%2-%3.png")
                                     .arg(folder, QLatin1String(name), QString::fromStdString(language.Code()));
            if (!dialog->grab().save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ++failures;
            }
            dialog->hide();
        }
    }
    return failures == 0 ? 0 : 1;
}

int ShowOne(const QString& name, const QString& languageName)
{
    const Language language(languageName.toStdString());
    QWidget owner;
    auto dialog = MakeDialog(name, language, &owner);
    if (!dialog) {
        std::fprintf(stderr, "unknown dialog %s\n", qPrintable(name));
        return 64;
    }
    dialog->move(40, 40);
    return dialog->exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--shots"))
        return WriteShots(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("--show"))
        return ShowOne(args[2], args[3]);
    std::fprintf(stderr, "usage: %s --shots DIR | --show info|report|cut|error|format|editor|save|about en|ja\n",
                 argv[0]);
    return 64;
}
