#include "app/ProgramLanguage.h"

#include "app/TextCatalog.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

// Qt's translation in use; replaced at every change of language.
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

QLocale LocaleOf(std::int32_t language) {
    switch (language) {
    case 1:
        return QLocale(QLocale::German, QLocale::Germany);
    case 3:
        return QLocale(QLocale::Dutch, QLocale::Netherlands);
    default:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

} // namespace

void SetProgramLanguage(std::int32_t language) {
    TextCatalog().Init(language);

    std::unique_ptr<QTranslator>& current = QtTranslator();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    if (language != 1 && language != 3) {
        return;
    }
    auto translator = std::make_unique<QTranslator>();
    // "qt" gathers qtbase and the other modules' catalogues of the language.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(LocaleOf(language), QStringLiteral("qt"), QStringLiteral("_"), folder) ||
        translator->load(LocaleOf(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                         folder)) {
        QCoreApplication::installTranslator(translator.get());
        current = std::move(translator);
    }
}
