#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <utility>

#include "app/QtText.h"
#include "platform/PathRules.h"

namespace palomix {

QtTranslations::QtTranslations(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

QtTranslations::~QtTranslations() {
    Remove();
}

void QtTranslations::Load(Language language) {
    Remove();
    if (language != Language::Japanese) {
        return;  // Qt's own texts are English
    }
    auto translator = std::make_unique<QTranslator>();
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    // Qt's translations where Qt was installed, else a translations folder beside the program
    // (a copy that brings its own Qt).
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  Q(JoinPath(programFolder_, "translations"))}) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            translator_ = std::move(translator);
            return;
        }
    }
}

void QtTranslations::Remove() {
    if (translator_) {
        QCoreApplication::removeTranslator(translator_.get());
        translator_.reset();
    }
}

}  // namespace palomix
