#pragma once

#include "platform/message_boxes.h"

namespace quillfen {

// The program's message boxes as modal Qt message boxes.
class QtMessageBoxes final : public MessageBoxes
{
public:
    // Shows the box and waits for the answer; CR LF in the text shows as a line break.
    MsgAnswer show(const MessageBoxRequest &request) override;
};

} // namespace quillfen
