// The setup library's functions for reading an INF, looked up at run time in setupapi.dll,
// which the caller holds loaded.
#ifndef QB7_INSTALL_INF_READER_H
#define QB7_INSTALL_INF_READER_H

#include <windows.h>
#include <setupapi.h>

#include "system_library.h"

struct InfReader {
  HINF(WINAPI* open)(PCSTR, PCSTR, DWORD, PUINT);
  void(WINAPI* close)(HINF);
  LONG(WINAPI* lineCount)(HINF, PCSTR);
  BOOL(WINAPI* findFirstLine)(HINF, PCSTR, PCSTR, INFCONTEXT*);
  BOOL(WINAPI* findNextLine)(const INFCONTEXT*, INFCONTEXT*);
  DWORD(WINAPI* fieldCount)(const INFCONTEXT*);
  BOOL(WINAPI* stringField)(const INFCONTEXT*, DWORD, PSTR, DWORD, PDWORD);
};

// False when the library lacks any of them.
inline bool LookUpInfReader(InfReader* reader) {
  reader->open = LateFunctionOf<decltype(reader->open)>(SETUP_OPEN_INF_FILE);
  reader->close = LateFunctionOf<decltype(reader->close)>(SETUP_CLOSE_INF_FILE);
  reader->lineCount = LateFunctionOf<decltype(reader->lineCount)>(SETUP_GET_LINE_COUNT);
  reader->findFirstLine = LateFunctionOf<decltype(reader->findFirstLine)>(SETUP_FIND_FIRST_LINE);
  reader->findNextLine = LateFunctionOf<decltype(reader->findNextLine)>(SETUP_FIND_NEXT_LINE);
  reader->fieldCount = LateFunctionOf<decltype(reader->fieldCount)>(SETUP_GET_FIELD_COUNT);
  reader->stringField = LateFunctionOf<decltype(reader->stringField)>(SETUP_GET_STRING_FIELD);
  return reader->open && reader->close && reader->lineCount && reader->findFirstLine &&
         reader->findNextLine && reader->fieldCount && reader->stringField;
}

#endif
