// The question at exit about reference tables edited and not written.
#pragma once

class QWidget;

namespace pelmora {

class ReferenceData;

// With no unsaved table: true. Otherwise asks "Zapisać zmiany w tablicach?":
// Tak writes them (true, or false after the reason when a write failed: the
// program stays open and the tables stay marked), Nie leaves them unwritten
// (true), Anuluj keeps the program open (false).
bool ConfirmReferenceTablesAtExit(QWidget* parent, ReferenceData& ref);

}  // namespace pelmora
