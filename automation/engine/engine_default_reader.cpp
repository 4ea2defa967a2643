// Kept apart from engine.cpp so that code which hands the engine its own readers (the tests) does
// not link the file readers.
#include "automation/engine/engine.h"

namespace tavrio::automation {

Engine::Engine() : Engine(&readers::OpenWorkbookFile) {}

}  // namespace tavrio::automation
