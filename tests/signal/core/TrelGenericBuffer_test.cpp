// Sharing, copy on write, resizing and copying of the generic and memory
// buffers (exercised through real buffers, the commonest kind).
#include "signal/core/TrelGenericBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "BufferUnitEnvironment.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelSimpleDataBuffer.h"

namespace {

std::vector<double> Contents(ITrelRealBuffer* buffer) {
  const double* data = buffer->GetData();
  return std::vector<double>(data, data + buffer->GetCount());
}

std::vector<double> Ramp(int count, double start = 0.0) {
  std::vector<double> values(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    values[static_cast<std::size_t>(i)] = start + i;
  }
  return values;
}

IPtr<ITrelRealBuffer> RealFrom(const std::vector<double>& values) {
  return TTrelRealBuffer::CreateFromData(values.data(), static_cast<std::int32_t>(values.size()));
}

IPtr<ITrelRealBuffer> RealClone(ITrelRealBuffer* buffer) {
  return Supports<ITrelRealBuffer>(buffer->Clone());
}

TTrelSmartBuffer* BlockOf(ITrelDataBuffer* buffer) {
  return buffer->GetBufferObject()->GetSmartBuffer();
}

TEST(GenericBufferTest, CloneSharesTheBlockAsASecondWriter) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(8));
  IPtr<ITrelRealBuffer> b = RealClone(a.get());
  ASSERT_TRUE(b);
  EXPECT_EQ(b->GetBufferObject()->ClassType(), TTrelRealBuffer::StaticClass());
  EXPECT_EQ(BlockOf(b.get()), BlockOf(a.get()));
  EXPECT_EQ(b->GetData(), a->GetData());
  EXPECT_EQ(BlockOf(a.get())->RefCount(), 2);
  EXPECT_EQ(BlockOf(a.get())->WriterCount(), 2);
}

TEST(GenericBufferTest, WritingThroughOneHolderLeavesTheOtherUnchanged) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(8));
  IPtr<ITrelRealBuffer> b = RealClone(a.get());
  TTrelSmartBuffer* shared = BlockOf(a.get());
  const double* before = a->GetData();

  double* written = b->GetWriteData();
  written[3] = -1.0;

  EXPECT_NE(b->GetData(), before) << "the writer moved to a private copy";
  EXPECT_EQ(a->GetData(), before) << "the other holder stayed";
  EXPECT_EQ(Contents(a.get()), Ramp(8));
  std::vector<double> expected = Ramp(8);
  expected[3] = -1.0;
  EXPECT_EQ(Contents(b.get()), expected) << "contents were kept";
  EXPECT_EQ(shared->RefCount(), 1);
  EXPECT_EQ(shared->WriterCount(), 1);
  EXPECT_EQ(BlockOf(b.get())->RefCount(), 1);

  // Now each is alone on its block: writing moves nothing.
  EXPECT_FALSE(b->Lock(true));
  EXPECT_EQ(b->GetWriteData(), written);
  EXPECT_EQ(a->GetWriteData(), before);
}

TEST(GenericBufferTest, ReadDataOnASharedBlockTakesAPrivateBlockWithoutTheOtherHoldersData) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(8));
  IPtr<ITrelRealBuffer> b = RealClone(a.get());
  const double* before = a->GetData();
  double* fresh = b->GetReadData();
  EXPECT_NE(fresh, before);
  EXPECT_EQ(b->GetCount(), 8) << "the size stays";
  EXPECT_EQ(Contents(a.get()), Ramp(8));
}

TEST(GenericBufferTest, AHolderThatGaveUpWritingSeesTheWriterInPlace) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(4));
  IPtr<ITrelRealBuffer> viewer = RealClone(a.get());
  viewer->GetBufferObject()->ReleaseWriteLock();
  viewer->GetBufferObject()->ReleaseWriteLock();  // once only
  EXPECT_EQ(BlockOf(a.get())->WriterCount(), 1);

  a->SetValue(0, 42.0);
  EXPECT_EQ(a->GetData(), viewer->GetData());
  EXPECT_EQ(viewer->GetValue(0), 42.0);
  viewer.reset();
  EXPECT_EQ(BlockOf(a.get())->WriterCount(), 1) << "the viewer's release took no writer";
}

TEST(GenericBufferTest, ShareFromCountsOnlyARealChangeOfBlock) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(8));
  IPtr<ITrelRealBuffer> b = RealClone(a.get());
  b->SetCount(4, true);  // same block, smaller view
  TTrelSmartBuffer* block = BlockOf(a.get());

  a->ShareFrom(a.get());
  b->ShareFrom(a.get());  // already on that block
  EXPECT_EQ(block->RefCount(), 2);
  EXPECT_EQ(block->WriterCount(), 2);
  EXPECT_EQ(b->GetCount(), 8) << "byte size copied";
  EXPECT_EQ(b->GetData(), a->GetData());

  IPtr<ITrelRealBuffer> other = RealFrom(Ramp(3, 100.0));
  TTrelSmartBuffer* otherBlock = BlockOf(other.get());
  b->ShareFrom(other.get());
  EXPECT_EQ(block->RefCount(), 1);
  EXPECT_EQ(otherBlock->RefCount(), 2);
  EXPECT_EQ(otherBlock->WriterCount(), 2);
  EXPECT_EQ(Contents(b.get()), Ramp(3, 100.0));

  EXPECT_THROW(b->ShareFrom(nullptr), EInvalidPointer);
}

// The resizing rules, each row starting from an exclusive real buffer of 10
// elements 0..9 on a 128-byte block (room for 16).
TEST(GenericBufferTest, SetCountFollowsItsRules) {
  struct Row {
    const char* name;
    std::vector<std::int32_t> counts;  // applied in turn
    bool keepData;
    bool shared;  // a clone shares the block meanwhile
    std::int32_t expectedCount;
    bool samePointer;
    int keptPrefix;  // elements still 0, 1, 2, ...
  };
  const Row rows[] = {
      {"ZeroChangesNothing", {0}, false, false, 10, true, 10},
      {"CurrentCountChangesNothing", {10}, false, false, 10, true, 10},
      {"ShrinkThenGrowShowsOldContents", {4, 10}, false, false, 10, true, 10},
      {"GrowsInPlaceUpToCapacity", {16}, false, false, 16, true, 10},
      {"GrowsPastCapacityKeepingData", {17}, true, false, 17, false, 10},
      {"SharedBlockShrinksInPlace", {5}, false, true, 5, true, 5},
      {"SharedBlockGrowsIntoACopy", {12}, true, true, 12, false, 10},
  };
  for (const Row& row : rows) {
    IPtr<ITrelRealBuffer> buffer = RealFrom(Ramp(10));
    IPtr<ITrelRealBuffer> clone = row.shared ? RealClone(buffer.get()) : nullptr;
    const double* before = buffer->GetData();
    for (std::int32_t count : row.counts) {
      buffer->SetCount(count, row.keepData);
    }
    EXPECT_EQ(buffer->GetCount(), row.expectedCount) << row.name;
    EXPECT_EQ(buffer->GetData() == before, row.samePointer) << row.name;
    for (int i = 0; i < row.keptPrefix; ++i) {
      EXPECT_EQ(buffer->GetData()[i], i) << row.name << " element " << i;
    }
    if (clone) {
      EXPECT_EQ(Contents(clone.get()), Ramp(10)) << row.name << ": other holder";
    }
  }
}

TEST(GenericBufferTest, SetCountRefusesImpossibleSizesAndChangesNothing) {
  const std::int32_t refused[] = {-1, std::numeric_limits<std::int32_t>::min(), (1 << 27) + 1,
                                  std::numeric_limits<std::int32_t>::max()};
  IPtr<ITrelRealBuffer> buffer = RealFrom(Ramp(10));
  const double* before = buffer->GetData();
  for (std::int32_t count : refused) {
    EXPECT_THROW(buffer->SetCount(count, true), ERangeError) << count;
    EXPECT_EQ(buffer->GetCount(), 10) << count;
    EXPECT_EQ(buffer->GetData(), before) << count;
  }
  EXPECT_EQ(Contents(buffer.get()), Ramp(10));
}

TEST(GenericBufferTest, CopyToWritesIntoTheArgumentOnly) {
  IPtr<ITrelRealBuffer> source = RealFrom(Ramp(6));
  IPtr<ITrelRealBuffer> dest = RealFrom(std::vector<double>(6, -1.0));
  IPtr<ITrelRealBuffer> destClone = RealClone(dest.get());

  source->CopyTo(1, dest.get(), 2, 3);  // elements between real buffers

  EXPECT_EQ(Contents(source.get()), Ramp(6));
  EXPECT_EQ(Contents(dest.get()), (std::vector<double>{-1, -1, 1, 2, 3, -1}));
  EXPECT_EQ(Contents(destClone.get()), std::vector<double>(6, -1.0)) << "written on a copy";
}

TEST(GenericBufferTest, CopyToAnotherKindCopiesBytes) {
  IPtr<ITrelRealBuffer> source = RealFrom({1.5, 2.5});
  IPtr<ITrelIntegerBuffer> dest = TTrelIntegerBuffer::CreateCount(4);
  dest->Zero();
  source->CopyTo(8, dest.get(), 4, 8);  // bytes: the second double into ints 1 and 2
  const double second = 2.5;
  std::int32_t halves[2];
  std::memcpy(halves, &second, sizeof(second));
  EXPECT_EQ(dest->GetValue(0), 0);
  EXPECT_EQ(dest->GetValue(1), halves[0]);
  EXPECT_EQ(dest->GetValue(2), halves[1]);
  EXPECT_EQ(dest->GetValue(3), 0);
}

TEST(GenericBufferTest, CopyToOutsideEitherBufferIsRefused) {
  struct Row {
    const char* name;
    std::int32_t offset, destOffset, count;
  };
  const Row rows[] = {
      {"SourcePastEnd", 3, 0, 2},
      {"DestinationPastEnd", 0, 3, 2},
      {"NegativeOffset", -1, 0, 2},
      {"NegativeDestOffset", 0, -1, 2},
      {"HugeCountOverflows", 1, 1, std::numeric_limits<std::int32_t>::max()},
  };
  IPtr<ITrelRealBuffer> source = RealFrom(Ramp(4));
  IPtr<ITrelRealBuffer> dest = RealFrom(std::vector<double>(4, -1.0));
  // The same geometry in bytes, into a block buffer of the same size.
  IPtr<ITrelBlockBuffer> bytes = TTrelBlockBuffer::CreateSize(32);
  bytes->Fill(7);
  for (const Row& row : rows) {
    EXPECT_THROW(source->CopyTo(row.offset, dest.get(), row.destOffset, row.count), ERangeError)
        << row.name;
    const std::int32_t byteCount = row.count > (1 << 20) ? row.count : row.count * 8;
    EXPECT_THROW(source->CopyTo(row.offset * 8, bytes.get(), row.destOffset * 8, byteCount),
                 ERangeError)
        << row.name << " (bytes)";
  }
  EXPECT_EQ(Contents(dest.get()), std::vector<double>(4, -1.0));
  EXPECT_EQ(bytes->GetData()[0], 7);
  source->CopyTo(0, dest.get(), 0, 0);  // nothing to copy
  source->CopyTo(-5, dest.get(), 99, -3);
  EXPECT_EQ(Contents(dest.get()), std::vector<double>(4, -1.0));
  EXPECT_THROW(source->CopyTo(0, nullptr, 0, 1), EInvalidPointer);
}

TEST(GenericBufferTest, MemoryBuffersNeedMemoryBlocks) {
  TTrelSmartBuffer* plain = Create<TTrelSmartBuffer>();
  EXPECT_THROW(Create<TTrelRealBuffer>(plain, 0), EInvalidCast);
  EXPECT_EQ(plain->RefCount(), 0) << "a refused block is not held";

  IPtr<ITrelDataBuffer> generic(Create<TTrelGenericBuffer>(plain, 0));
  EXPECT_EQ(plain->RefCount(), 1);
  EXPECT_THROW(TTrelRealBuffer::CreateShared(generic.get()), EInvalidCast);
  IPtr<ITrelRealBuffer> real = RealFrom(Ramp(2));
  EXPECT_THROW(real->ShareFrom(generic.get()), EInvalidCast);
  EXPECT_EQ(Contents(real.get()), Ramp(2));
  EXPECT_EQ(plain->RefCount(), 1);
}

TEST(GenericBufferTest, GenericAndMemoryBuffersCountBytes) {
  IPtr<ITrelRealBuffer> real = RealFrom(Ramp(3));
  IPtr<ITrelDataBuffer> memory = TTrelMemoryBuffer::CreateShared(real.get());
  EXPECT_EQ(memory->GetCount(), 24);
  EXPECT_EQ(memory->GetData(), real->GetData());
  IPtr<ITrelDataBuffer> generic = TTrelGenericBuffer::CreateShared(real.get());
  EXPECT_EQ(generic->GetCount(), 24);
  EXPECT_EQ(generic->GetData(), real->GetData());
  EXPECT_EQ(BlockOf(real.get())->WriterCount(), 3);
  EXPECT_EQ(generic->Clone()->GetBufferObject()->ClassType(), TTrelGenericBuffer::StaticClass());
  EXPECT_EQ(memory->Clone()->GetBufferObject()->ClassType(), TTrelMemoryBuffer::StaticClass());
}

TEST(GenericBufferTest, TheLastReleaseReturnsTheBlockToTheStore) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(100));
  IPtr<ITrelRealBuffer> b = RealClone(a.get());
  const int pooled = SmartBufferManager()->PooledBlockCount();
  a.reset();
  EXPECT_EQ(SmartBufferManager()->PooledBlockCount(), pooled);
  b.reset();
  EXPECT_EQ(SmartBufferManager()->PooledBlockCount(), pooled + 2) << "samples and header";
}

TEST(GenericBufferTest, TheSequenceStampBelongsToItsBuffer) {
  IPtr<ITrelRealBuffer> a = RealFrom(Ramp(1));
  IPtr<ITrelDataBuffer> b = a->Clone();
  EXPECT_EQ(a->GetSequenceStamp()->Buffer(), a->GetBufferObject());
  EXPECT_NE(a->GetSequenceStamp(), b->GetSequenceStamp());
}

}  // namespace
