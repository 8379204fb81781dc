// Length limits for the settings pages' text fields: input beyond the limit is not
// taken (typed characters are dropped, a paste keeps only what fits).
#pragma once

class QLineEdit;
class QPlainTextEdit;

namespace zentra {

void LimitLength(QLineEdit& edit, int maxChars);
void LimitLength(QPlainTextEdit& edit, int maxChars);

} // namespace zentra
