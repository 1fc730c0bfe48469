// How a wizard page or a message box ended, as the pages, the hosts and the flow pass it on.
// The values are the dialog codes the windows end with, so a page's exec() converts directly.
#pragma once

namespace sondrel {

// Ok is Enter on a page (the fields are stored), which the flow reads as next; so is any value
// a page may end with that is not listed here. CheckTracks: a tag page asks for the track page.
enum class PageResult : int { Ok = 1, Close = 2, Back = 1000, Next = 1001, CheckTracks = 1002 };

enum class MessageAnswer : int { Ok = 1, Yes = 6, No = 7 };

}  // namespace sondrel
