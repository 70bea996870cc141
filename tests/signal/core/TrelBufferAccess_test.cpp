// Access objects: forwarding to their buffer, the typed kinds, detaching
// when either side goes first, and operand checks.
#include "signal/core/TrelBufferAccess.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "BufferUnitEnvironment.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelSimpleDataBuffer.h"

namespace {

IPtr<ITrelRealBuffer> RealFrom(const std::vector<double>& values) {
  return TTrelRealBuffer::CreateFromData(values.data(), static_cast<std::int32_t>(values.size()));
}

std::vector<double> Contents(ITrelRealBuffer* buffer) {
  return std::vector<double>(buffer->GetData(), buffer->GetData() + buffer->GetCount());
}

TEST(BufferAccessTest, ForwardsToItsBuffer) {
  IPtr<ITrelRealBuffer> buffer = RealFrom({4, 1, 3});
  IPtr<ITrelRealDataBufferAccess> access = buffer->CreateAccess();
  ASSERT_TRUE(access);
  EXPECT_EQ(access->GetBuffer().get(), static_cast<ITrelDataBuffer*>(buffer.get()));
  EXPECT_EQ(access->GetData(), buffer->GetData());
  EXPECT_EQ(access->GetCount(), 3);
  EXPECT_EQ(access->GetByteSize(), 24);
  EXPECT_EQ(access->GetSequenceStamp(), buffer->GetSequenceStamp());
  EXPECT_EQ(access->Min(), 1);
  EXPECT_EQ(access->Max(), 4);
  EXPECT_EQ(access->RangeMax(1, 3), 3);
  access->SetValue(1, 7);
  EXPECT_EQ(buffer->GetValue(1), 7);
  EXPECT_THROW(access->GetValue(3), ERangeError);

  IPtr<ITrelDataBuffer> clone = access->Clone();
  EXPECT_EQ(clone->GetBufferObject()->ClassType(), TTrelRealBuffer::StaticClass());
  EXPECT_EQ(clone->GetData(), buffer->GetData());
}

TEST(BufferAccessTest, EachCallMakesANewObjectOfTheBuffersKind) {
  IPtr<ITrelRealBuffer> real = RealFrom({1});
  IPtr<ITrelDataBufferAccess> first = real->CreateAccess();
  IPtr<ITrelDataBufferAccess> second = static_cast<ITrelDataBuffer*>(real.get())->CreateAccess();
  EXPECT_NE(first.get(), second.get());
  EXPECT_TRUE(Supports<ITrelRealDataBufferAccess>(second)) << "typed through the plain interface";
  EXPECT_EQ(real->GetBufferObject()->AccessCount(), 2);

  EXPECT_TRUE(
      Supports<ITrelIntegerDataBufferAccess>(TTrelIntegerBuffer::CreateCount(1)->CreateAccess()));
  EXPECT_TRUE(
      Supports<ITrelComplexDataBufferAccess>(TTrelComplexBuffer::CreateCount(1)->CreateAccess()));
  EXPECT_TRUE(
      Supports<ITrelBlockDataBufferAccess>(TTrelBlockBuffer::CreateSize(1)->CreateAccess()));
  EXPECT_FALSE(Supports<ITrelIntegerDataBufferAccess>(first));
}

TEST(BufferAccessTest, ReleasingTheAccessObjectLeavesTheBuffersList) {
  IPtr<ITrelRealBuffer> buffer = RealFrom({1});
  IPtr<ITrelRealDataBufferAccess> access = buffer->CreateAccess();
  EXPECT_EQ(buffer->GetBufferObject()->AccessCount(), 1);
  access.reset();
  EXPECT_EQ(buffer->GetBufferObject()->AccessCount(), 0);
  buffer.reset();  // nothing left to detach
}

TEST(BufferAccessTest, ADetachedAccessObjectRaisesInsteadOfTouchingTheBuffer) {
  IPtr<ITrelRealBuffer> buffer = RealFrom({1, 2});
  IPtr<ITrelRealDataBufferAccess> access = buffer->CreateAccess();
  IPtr<ITrelRealBuffer> live = RealFrom({5, 5});
  IPtr<ITrelRealDataBufferAccess> liveAccess = live->CreateAccess();
  buffer.reset();

  EXPECT_FALSE(access->GetBuffer());
  const std::function<void()> calls[] = {
      [&] { access->GetData(); },
      [&] { access->GetWriteData(); },
      [&] { access->GetCount(); },
      [&] { access->GetByteSize(); },
      [&] { access->GetSequenceStamp(); },
      [&] { access->SetCount(5, true); },
      [&] { access->Lock(true); },
      [&] { access->Clone(); },
      [&] { access->GetValue(0); },
      [&] { access->Fill(1); },
      [&] { access->Min(); },
      [&] { access->Add(liveAccess.get()); },
      [&] { access->CopyTo(0, liveAccess.get(), 0, 1); },
      // A detached operand or destination is refused too.
      [&] { liveAccess->Add(access.get()); },
      [&] { liveAccess->CopyTo(0, access.get(), 0, 1); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_THROW(calls[i](), EInvalidOperation) << "call " << i;
  }
  EXPECT_EQ(Contents(live.get()), (std::vector<double>{5, 5}));
  access.reset();  // can still be released
}

TEST(BufferAccessTest, SetCountWithTheCurrentCountDoesNothing) {
  for (const bool keepData : {false, true}) {
    IPtr<ITrelRealBuffer> buffer = RealFrom({1, 2, 3});
    IPtr<ITrelDataBuffer> other = buffer->Clone();
    IPtr<ITrelRealDataBufferAccess> access = buffer->CreateAccess();
    const double* before = buffer->GetData();
    access->SetCount(3, keepData);
    EXPECT_EQ(buffer->GetData(), before);
    access->SetCount(2, keepData);
    EXPECT_EQ(buffer->GetCount(), 2);
  }
}

TEST(BufferAccessTest, TypedOperationsUseTheOperandsBuffer) {
  IPtr<ITrelRealBuffer> a = RealFrom({8, 9, 10});
  IPtr<ITrelRealBuffer> b = RealFrom({2, 0});
  IPtr<ITrelRealDataBufferAccess> accessA = a->CreateAccess();
  IPtr<ITrelRealDataBufferAccess> accessB = b->CreateAccess();
  accessA->Divide(accessB.get());  // common length; the zero fix-up
  EXPECT_EQ(Contents(a.get()), (std::vector<double>{4, 1.0e15, 10}));
  accessA->Subtract(accessB.get());
  EXPECT_EQ(Contents(a.get()), (std::vector<double>{2, 1.0e15, 10}));
  EXPECT_THROW(accessA->Add(nullptr), EInvalidPointer);

  accessB->CopyTo(0, accessA.get(), 2, 1);  // from B into A
  EXPECT_EQ(Contents(a.get()), (std::vector<double>{2, 1.0e15, 2}));
  EXPECT_EQ(Contents(b.get()), (std::vector<double>{2, 0}));

  IPtr<ITrelIntegerBuffer> ints = TTrelIntegerBuffer::CreateCount(2);
  IPtr<ITrelIntegerDataBufferAccess> intAccess = ints->CreateAccess();
  intAccess->Fill(6);
  intAccess->Divide(intAccess.get());
  EXPECT_EQ(intAccess->GetValue(1), 1);
}

TEST(BufferAccessTest, MinOfAnEmptyBufferIsZero) {
  IPtr<ITrelRealBuffer> empty = TTrelRealBuffer::CreateEmpty();
  IPtr<ITrelRealDataBufferAccess> access = empty->CreateAccess();
  EXPECT_EQ(access->Min(), 0.0);
  EXPECT_EQ(access->Max(), 0.0);
}

TEST(BufferAccessTest, BlockOperandOfAnotherKindIsRefused) {
  IPtr<ITrelBlockBuffer> bytes = TTrelBlockBuffer::CreateSize(3);
  bytes->Fill(9);
  IPtr<ITrelBlockDataBufferAccess> access = bytes->CreateAccess();
  IPtr<ITrelRealBuffer> real = TTrelRealBuffer::CreateCount(3);
  IPtr<ITrelRealDataBufferAccess> realAccess = real->CreateAccess();
  const std::function<void()> calls[] = {
      [&] { access->Add(realAccess.get()); },
      [&] { access->Subtract(realAccess.get()); },
      [&] { access->Multiply(realAccess.get()); },
      [&] { access->Divide(realAccess.get()); },
  };
  for (const auto& call : calls) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidCast& e) {
      EXPECT_EQ(e.Message(), "Interface non supportée");
    }
  }
  EXPECT_EQ(std::vector<std::uint8_t>(bytes->GetData(), bytes->GetData() + 3),
            std::vector<std::uint8_t>(3, 9));

  IPtr<ITrelBlockBuffer> ones = TTrelBlockBuffer::CreateSize(3);
  ones->Fill(200);
  IPtr<ITrelBlockDataBufferAccess> onesAccess = ones->CreateAccess();
  access->Add(onesAccess.get());
  EXPECT_EQ(access->GetData()[0], 209);
  onesAccess->Add(onesAccess.get());
  EXPECT_EQ(ones->GetData()[2], 255);
}

}  // namespace
