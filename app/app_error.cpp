#include "app/app_error.h"

namespace lumatrim {

QString ApplicationErrorText(const QString& description, const QString& label, int line) {
  return description + QStringLiteral("\r\nin ") + label + QStringLiteral(" at line ") +
         QString::number(line) + QStringLiteral("\r\rPlease email screenshot of this message to ") +
         kSupportEmail;
}

void StepRunner::Report(const QString& description) {
  if (!prompter_) return;
  prompter_->Message(owner_, ApplicationErrorText(description, label_, line_),
                     kApplicationErrorCaption, MessageButtons::Ok, MessageIcon::Warning);
}

}  // namespace lumatrim
