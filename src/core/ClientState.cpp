#include "core/ClientState.h"

namespace exam {

ClientState& clientState() {
    static ClientState state;
    return state;
}

void releaseClientState() {
    ClientState& s = clientState();
    s.assignedId = Text();
    s.serverAddress = Text();
    s.examineeNumber = Text();
    s.startTimeText = Text();
    s.minutesText = Text();
    s.paperFolder = Text();
}

}  // namespace exam
