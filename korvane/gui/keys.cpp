#include "keys.h"

#include <QCoreApplication>
#include <QTranslator>

#include "korvane/app/texts.h"

namespace korvane {

namespace {

// Qt names the modifiers in English unless a translation says otherwise;
// only these two names are Korvane's to give.
class KeyNames : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* = nullptr,
                      int = -1) const override {
        if (qstrcmp(context, "QShortcut") != 0) return {};
        if (qstrcmp(source, "Ctrl") == 0) return QString::fromUtf8(text::kKeyControl);
        if (qstrcmp(source, "Shift") == 0) return QString::fromUtf8(text::kKeyShift);
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

QKeySequence KeySequence(const KeyChord& keys) {
    if (keys.Empty()) return {};
    const auto key = static_cast<Qt::Key>(keys.letter != 0 ? Qt::Key_A + (keys.letter - 'A')
                                                           : Qt::Key_F1 + (keys.function - 1));
    Qt::KeyboardModifiers modifiers;
    if (keys.control) modifiers |= Qt::ControlModifier;
    if (keys.shift) modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, key));
}

void InstallKeyNames() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || app->findChild<KeyNames*>() != nullptr) return;
    QCoreApplication::installTranslator(new KeyNames(app));
}

}  // namespace korvane
