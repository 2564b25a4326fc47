// Qt's own texts (dialog buttons, the folder dialog) in the window's language: Qt's Japanese
// translation is installed while the window speaks Japanese, and taken away with the window.
#pragma once

#include <QTranslator>
#include <memory>
#include <string>

#include "settings/Language.h"

namespace palomix {

class QtTranslations {
public:
    // `programFolder`: a copy that brings its own Qt has its translations there.
    explicit QtTranslations(std::string programFolder);
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    void Load(Language language);

private:
    void Remove();

    std::string programFolder_;
    std::unique_ptr<QTranslator> translator_;  // installed while it holds a translation
};

}  // namespace palomix
