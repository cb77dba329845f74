// Records on the emulator's debug console (BootProtocol.h lists them): a tag, fields separated by single
// spaces, a line feed. The host tool parses them back.
#pragma once

#include "ZarnBase.h"

VOID ConsoleRecord(CHAR8 Tag);                  // starts a record
VOID ConsoleText(const CHAR8 *Text);            // field: an identifier as it is ("-" when empty)
VOID ConsoleHex(UINT64 Value);                  // field: lowercase hex, no prefix
VOID ConsoleBytes(const VOID *Bytes, UINTN Length);  // field: hex byte pairs ("-" when empty)
VOID ConsoleStringHex(const CHAR8 *Text);       // field: the string's bytes as hex pairs ("-" when empty)
VOID ConsoleEnd(VOID);                          // ends the record
