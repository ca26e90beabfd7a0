// SPDX-License-Identifier: MIT
// The thread's code page where the system does not know it, for every platform that converts.
#pragma once

#include "platform/com_types.h"

namespace quoril::platform {

// Windows before 2000 (95, 98, ME, NT 4) does not know CP_THREAD_ACP and refuses it as an
// invalid parameter. A thread there has no code page of its own: it always uses the system's
// ANSI code page, so that is the page the caller asked for, and the conversion is made again
// with it. `convert(page)` makes the conversion in `page` and answers its result; `refused()`
// answers, after a conversion answered 0, whether the system refused the code page itself.
template <typename Convert, typename Refused>
int ConvertInCodePage(UINT codePage, Convert convert, Refused refused) {
  const int result = convert(codePage);
  if (result == 0 && codePage == CP_THREAD_ACP && refused()) return convert(CP_ACP);
  return result;
}

}  // namespace quoril::platform
