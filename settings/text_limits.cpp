#include "settings/text_limits.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace zentra {

void LimitLength(QLineEdit& edit, int maxChars) {
    edit.setMaxLength(maxChars);
}

void LimitLength(QPlainTextEdit& edit, int maxChars) {
    QTextDocument* document = edit.document();
    QObject::connect(document, &QTextDocument::contentsChange, &edit,
                     [document, maxChars](int position, int /*removed*/, int added) {
                         // characterCount() counts the closing paragraph mark too.
                         const int length = document->characterCount() - 1;
                         const int excess = length - maxChars;
                         if (excess <= 0 || added <= 0)
                             return;
                         const int cut = std::min(excess, added);
                         QTextCursor cursor(document);
                         cursor.setPosition(position + added - cut);
                         cursor.setPosition(position + added, QTextCursor::KeepAnchor);
                         cursor.removeSelectedText(); // re-enters with added == 0
                     });
}

} // namespace zentra
