// Pooled, reference-counted, copy-on-write sample buffers. Include this
// header to use them.
//
// What is where:
//   TrelSmartBufferManager.h  the smart block store (free lists of aligned
//                             blocks by size), smart block headers and the
//                             unit TrelSimpleDataBufferUnit that starts it
//   TrelBufferInterfaces.h    ITrelDataBuffer and the typed buffer
//                             interfaces, the access interfaces, and the
//                             meaning of GetData / GetReadData / GetWriteData
//   TrelGenericBuffer.h       TTrelGenericBuffer (sharing, locking, copy on
//                             write) and TTrelMemoryBuffer (resizing)
//   TrelTypedBuffers.h        TTrelRealBuffer, TTrelIntegerBuffer,
//                             TTrelComplexBuffer, TTrelBlockBuffer
//   TrelBufferAccess.h        the access objects
//
// Life cycle of a buffer, from a component's point of view:
//   TrelSimpleDataBufferUnit.Initialize();            // once, at start-up
//   IPtr<ITrelRealBuffer> samples = TTrelRealBuffer::CreateCount(1024);
//   double* out = samples->GetReadData();             // about to overwrite all
//   ... fill out[0..1023], send `samples` through a pin ...
//   // a receiver keeps its own view without copying:
//   IPtr<ITrelRealBuffer> mine = TTrelRealBuffer::CreateShared(samples.get());
//   double first = mine->GetData()[0];                // plain read
//   mine->SetValue(0, 1.0);                           // copies the block first
// The last reference's release returns the block to the store.
#pragma once

#include "signal/core/TrelBufferAccess.h"
#include "signal/core/TrelBufferInterfaces.h"
#include "signal/core/TrelGenericBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelTypedBuffers.h"
