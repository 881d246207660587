#pragma once
// The process-wide list of live dispatchers. A dispatcher's index in the list
// is its registry handle; the TCP layer also finds a dispatcher by the device
// handle (socket) it serves. Callers own the dispatchers; the registry only
// points at them for as long as they are registered.

namespace morvik::comm {

class TCmBaseDispatcher;

namespace dispatcher_registry {

// Takes the first empty slot (or a new one at the end); returns its index.
int Register(TCmBaseDispatcher& dispatcher);
// Empties the slot and trims empty slots at the end. Unknown handles are ignored.
void Unregister(int handle);
// Null when no dispatcher holds the handle.
TCmBaseDispatcher* Find(int handle);
// The registered dispatcher whose device handle is deviceHandle, or null.
TCmBaseDispatcher* FindByDevice(int deviceHandle);
// Number of slots, empty ones included (for tests of the slot rules).
int SlotCount();

}  // namespace dispatcher_registry

}  // namespace morvik::comm
