// ClientState: the one process-wide record of the texts that the four windows hand to each
// other. Each field has one writer (a handler of one window) and is read by later handlers; a
// write stores a fresh copy and releases the previous text. All fields start empty.
//
// Lives on the UI thread only; it needs no lock because only one handler runs at a time.
#pragma once

#include "core/Text.h"

namespace exam {

struct ClientState {
    Text assignedId;      // identifier that the login service gives this client
    Text serverAddress;   // host of the exam server, from config.ini
    Text examineeNumber;  // examinee number as typed at the last login press
    Text startTimeText;   // exam start time, normalised date-time text
    Text minutesText;     // exam length in minutes, as received
    Text paperFolder;     // path prefix of the paper and answer files, as received
};

// The record of this process.
ClientState& clientState();

// The shut-down routine: releases the six texts in field order and leaves them empty.
void releaseClientState();

}  // namespace exam
