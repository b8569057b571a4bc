// SPDX-License-Identifier: MIT
// On Linux a program has the standard streams of the shell that started it.
#include "app/parentconsole.h"

namespace quill {

void useParentConsole() {}

} // namespace quill
