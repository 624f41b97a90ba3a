// The firmware commands as the Windows storage stack receives them: every
// buffer checked byte by byte against the documented structures, and every
// kind of answer read back.
#include "platform/firmware_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/storage_protocol_layout.h"
#include "platform/winconst.h"

namespace plexi::platform {
namespace {

using layout::Load32;

uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

const HostSystem kWindows11{true, false, 10, 0, 22631};
const HostSystem kWindowsPe{true, true, 10, 0, 22631};

// A handle that records each control call and answers as the test says.
class ControlDevice : public Device {
 public:
  struct Call {
    uint32_t code;
    std::vector<uint8_t> in;
  };
  // Writes the reply into `out` and returns the bytes returned.
  using Answer = std::function<IoResult(const Call&, uint8_t* out, uint32_t out_length)>;

  explicit ControlDevice(Answer answer) : answer_(std::move(answer)) {}
  IoResult Read(void*, uint32_t) override { return IoResult::Failure(winconst::kErrorInvalidFunction); }
  IoResult Write(const void*, uint32_t) override { return IoResult::Failure(winconst::kErrorInvalidFunction); }
  Result<> SetPosition(uint64_t) override { return Result<>::Success(); }
  Result<> Flush() override { return Result<>::Success(); }
  IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out, uint32_t out_length) override {
    const auto* bytes = static_cast<const uint8_t*>(in);
    calls.push_back({code, std::vector<uint8_t>(bytes, bytes + in_length)});
    return answer_(calls.back(), static_cast<uint8_t*>(out), out_length);
  }

  std::vector<Call> calls;

 private:
  Answer answer_;
};

// A protocol-data reply as the driver writes it: the descriptor, then the
// data right after the protocol data, each byte `fill`.
IoResult AnswerQuery(uint8_t* out, uint32_t out_length, uint8_t fill, uint32_t version = 48) {
  std::memset(out, 0, out_length);
  layout::Store32(out, version);
  layout::Store32(out + 4, 48);
  const uint32_t length = out_length - 48;
  layout::ProtocolSpecificData data;
  data.protocol_type = 3;
  data.data_offset = 40;
  data.data_length = length;
  data.Encode(out + 8);
  std::memset(out + 48, fill, length);
  return IoResult(out_length);
}

TEST(FirmwareControlTest, IdentifyAsksTheProtocolPropertyAndCopiesTheData) {
  ControlDevice device([](const ControlDevice::Call&, uint8_t* out, uint32_t n) { return AnswerQuery(out, n, 0xA5); });
  std::vector<uint8_t> data(4096);
  NvmeAdminCommand controller{.opcode = 0x06, .nsid = 0, .cdw10 = 1, .data = data.data(), .data_length = 4096};
  Result<NvmeCompletion> r = NvmeAdminByControl(device, controller, kWindows11);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r->Succeeded());
  EXPECT_EQ(data[0], 0xA5);
  EXPECT_EQ(data[4095], 0xA5);

  ASSERT_EQ(device.calls.size(), 1u);
  const ControlDevice::Call& call = device.calls[0];
  EXPECT_EQ(call.code, 0x002D1400u);  // IOCTL_STORAGE_QUERY_PROPERTY
  ASSERT_EQ(call.in.size(), 8u + 40u + 4096u);
  const uint8_t* q = call.in.data();
  EXPECT_EQ(Load32(q), 49u);      // StorageAdapterProtocolSpecificProperty
  EXPECT_EQ(Load32(q + 4), 0u);   // PropertyStandardQuery
  EXPECT_EQ(Load32(q + 8), 3u);   // ProtocolTypeNvme
  EXPECT_EQ(Load32(q + 12), 1u);  // NVMeDataTypeIdentify
  EXPECT_EQ(Load32(q + 16), 1u);  // CNS controller
  EXPECT_EQ(Load32(q + 20), 0u);
  EXPECT_EQ(Load32(q + 24), 40u);  // ProtocolDataOffset: right after the protocol data
  EXPECT_EQ(Load32(q + 28), 4096u);

  NvmeAdminCommand ns{.opcode = 0x06, .nsid = 3, .cdw10 = 0, .data = data.data(), .data_length = 4096};
  ASSERT_TRUE(NvmeAdminByControl(device, ns, kWindows11).ok());
  const uint8_t* q2 = device.calls[1].in.data();
  EXPECT_EQ(Load32(q2), 50u);  // StorageDeviceProtocolSpecificProperty
  EXPECT_EQ(Load32(q2 + 16), 0u);
  EXPECT_EQ(Load32(q2 + 20), 3u);  // the namespace

  std::vector<uint8_t> log(512);
  NvmeAdminCommand read_log{.opcode = 0x02, .nsid = 0xFFFFFFFF, .cdw10 = 0x81 | 127u << 16, .data = log.data(),
                            .data_length = 512};
  ASSERT_TRUE(NvmeAdminByControl(device, read_log, kWindows11).ok());
  const ControlDevice::Call& log_call = device.calls[2];
  EXPECT_EQ(log_call.in.size(), 8u + 40u + 512u);
  EXPECT_EQ(Load32(log_call.in.data() + 12), 2u);  // NVMeDataTypeLogPage
  EXPECT_EQ(Load32(log_call.in.data() + 16), 0x81u);
  EXPECT_EQ(Load32(log_call.in.data() + 28), 512u);
  EXPECT_EQ(log[511], 0xA5);
}

TEST(FirmwareControlTest, AQueryReplyThatDoesNotHoldTheDataIsAFailure) {
  std::vector<uint8_t> data(4096, 0x11);
  NvmeAdminCommand command{.opcode = 0x06, .cdw10 = 1, .data = data.data(), .data_length = 4096};
  const std::vector<ControlDevice::Answer> bad = {
      [](const ControlDevice::Call&, uint8_t* out, uint32_t n) { return AnswerQuery(out, n, 0, 40); },  // version
      [](const ControlDevice::Call&, uint8_t* out, uint32_t n) {
        static_cast<void>(AnswerQuery(out, n, 0));
        return IoResult(n - 1);  // one byte short
      },
      [](const ControlDevice::Call&, uint8_t* out, uint32_t n) {
        static_cast<void>(AnswerQuery(out, n, 0));
        layout::Store32(out + 8 + 20, 512);  // less data than asked for
        return IoResult(n);
      },
      [](const ControlDevice::Call&, uint8_t* out, uint32_t n) {
        static_cast<void>(AnswerQuery(out, n, 0));
        layout::Store32(out + 8 + 16, 44);  // data said to run past the reply
        return IoResult(n);
      },
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    ControlDevice device(bad[i]);
    Result<NvmeCompletion> r = NvmeAdminByControl(device, command, kWindows11);
    EXPECT_FALSE(r.ok()) << i;
    EXPECT_EQ(r.error(), winconst::kErrorInvalidData) << i;
  }
  EXPECT_EQ(data[0], 0x11) << "nothing copied from a bad reply";

  ControlDevice refusing([](const ControlDevice::Call&, uint8_t*, uint32_t) {
    return IoResult::Failure(winconst::kErrorInvalidFunction);
  });
  Result<NvmeCompletion> r = NvmeAdminByControl(refusing, command, kWindows11);
  EXPECT_EQ(r.error(), winconst::kErrorNotSupported);
}

TEST(FirmwareControlTest, SanitizeIsAMediaReinitialisationWithItsMethod) {
  ControlDevice device([](const ControlDevice::Call& call, uint8_t* out, uint32_t n) {
    if (call.code == 0x002D1400u) return AnswerQuery(out, n, 0);
    return IoResult(0);
  });
  Result<NvmeCompletion> crypto = NvmeAdminByControl(device, {.opcode = 0x84, .cdw10 = 4}, kWindows11);
  ASSERT_TRUE(crypto.ok());
  EXPECT_TRUE(crypto->Succeeded());
  const ControlDevice::Call& call = device.calls.back();
  EXPECT_EQ(call.code, 0x002D9640u);  // IOCTL_STORAGE_REINITIALIZE_MEDIA
  ASSERT_EQ(call.in.size(), 16u);
  EXPECT_EQ(Load32(call.in.data()), 16u);
  EXPECT_EQ(Load32(call.in.data() + 4), 16u);
  EXPECT_GE(Load32(call.in.data() + 8), 3600u) << "a sanitize is given hours";
  // StorageSanitizeMethodCryptoErase, and a restricted exit as the command asked.
  EXPECT_EQ(Load32(call.in.data() + 12), 2u | 1u << 4);

  ASSERT_TRUE(NvmeAdminByControl(device, {.opcode = 0x84, .cdw10 = 2 | 1u << 3}, kWindows11).ok());
  EXPECT_EQ(Load32(device.calls.back().in.data() + 12), 1u) << "block erase, unrestricted exit";

  const size_t before = device.calls.size();
  const HostSystem windows10{true, false, 10, 0, 19045};
  for (uint32_t action : {1u, 2u, 3u | 1u << 4}) {  // exit failure mode; block erase; overwrite
    Result<NvmeCompletion> r = NvmeAdminByControl(device, {.opcode = 0x84, .cdw10 = action}, windows10);
    EXPECT_EQ(r.error(), winconst::kErrorNotSupported) << action;
  }
  for (size_t i = before; i < device.calls.size(); ++i)
    EXPECT_EQ(device.calls[i].code, 0x002D1400u) << "not carried before Windows 11: nothing sent";
}

// Each Windows carries a purge command its own way, or not at all: what
// reaches the driver, by version and Windows PE.
TEST(FirmwareControlTest, EachWindowsCarriesWhatItsDriverTakes) {
  constexpr uint32_t kNone = 0, kReinit = 0x002D9640u, kProtocol = 0x002DD3C0u;
  const NvmeAdminCommand sanitize_crypto{.opcode = 0x84, .cdw10 = 4};
  const NvmeAdminCommand sanitize_overwrite{.opcode = 0x84, .cdw10 = 3 | 1u << 4};
  const NvmeAdminCommand format_crypto{.opcode = 0x80, .nsid = 1, .cdw10 = 2u << 9};
  const NvmeAdminCommand format_user_data{.opcode = 0x80, .nsid = 1, .cdw10 = 1u << 9};
  struct Case {
    HostSystem host;
    NvmeAdminCommand command;
    uint32_t code;          // the control code sent; kNone: refused before anything is sent
    uint32_t input_length;  // of that request
  } cases[] = {
      // Windows 10 22H2: the crypto-erase format as a media reinitialisation
      // without input; sanitize and the user-data format only in Windows PE.
      {{true, false, 10, 0, 19045}, format_crypto, kReinit, 0},
      {{true, false, 10, 0, 19045}, format_user_data, kNone, 0},
      {{true, false, 10, 0, 19045}, sanitize_crypto, kNone, 0},
      {{true, true, 10, 0, 19045}, sanitize_crypto, kProtocol, 0},
      {{true, true, 10, 0, 19045}, format_user_data, kProtocol, 0},
      // Before version 2004 no sanitize at all; before 1607 no format either.
      {{true, true, 10, 0, 18363}, sanitize_crypto, kNone, 0},
      {{true, false, 10, 0, 17763}, format_crypto, kReinit, 0},
      {{true, false, 10, 0, 10586}, format_crypto, kNone, 0},
      // Windows 11: sanitize options in the reinitialisation; no overwrite
      // (the protocol command's sanitize is Windows PE's); the format still
      // without input.
      {{true, false, 10, 0, 22631}, sanitize_crypto, kReinit, 16},
      {{true, false, 10, 0, 22631}, sanitize_overwrite, kNone, 0},
      {{true, false, 10, 0, 22631}, format_crypto, kReinit, 0},
      {{true, false, 10, 0, 22631}, format_user_data, kNone, 0},
      // The active namespace list has no query.
      {{true, true, 10, 0, 22631}, {.opcode = 0x06, .cdw10 = 2}, kNone, 0},
  };
  for (const Case& c : cases) {
    ControlDevice device([](const ControlDevice::Call& call, uint8_t* out, uint32_t n) {
      return call.code == 0x002D1400u ? AnswerQuery(out, n, 0) : IoResult(0);
    });
    std::vector<uint8_t> data(4096);
    NvmeAdminCommand command = c.command;
    if (command.opcode == 0x06) command.data = data.data(), command.data_length = 4096;
    const Result<NvmeCompletion> r = NvmeAdminByControl(device, command, c.host);
    const std::string row = std::to_string(c.host.build) + (c.host.windows_pe ? " PE" : "") + " opcode " +
                            std::to_string(command.opcode) + " cdw10 " + std::to_string(command.cdw10);
    std::vector<ControlDevice::Call> sent;
    for (const ControlDevice::Call& call : device.calls)
      if (call.code != 0x002D1400u) sent.push_back(call);
    if (c.code == kNone) {
      EXPECT_EQ(r.error(), winconst::kErrorNotSupported) << row;
      EXPECT_TRUE(sent.empty()) << row;
      continue;
    }
    ASSERT_EQ(sent.size(), 1u) << row;
    EXPECT_EQ(sent[0].code, c.code) << row;
    if (c.code == kReinit) {
      EXPECT_EQ(sent[0].in.size(), c.input_length) << row;
    }
  }
}

// ATA security and the crypto scramble reach the drive only in Windows PE.
TEST(FirmwareControlTest, AtaSecurityOnlyInWindowsPe) {
  ControlDevice device([](const ControlDevice::Call&, uint8_t*, uint32_t n) { return IoResult(n); });
  std::vector<uint8_t> block(512);
  const AtaCommand set_password{.command = 0xF1, .direction = AtaCommand::Data::kOut, .data = block.data(),
                                .data_length = 512};
  const AtaCommand crypto_scramble{.command = 0xB4, .feature = 0x11, .lba = 0x43727970};
  const AtaCommand block_erase{.command = 0xB4, .feature = 0x12, .lba = 0x426B4572};
  for (const AtaCommand& command : {set_password, crypto_scramble})
    EXPECT_EQ(AtaPassThroughByControl(device, command, kWindows11).error(), winconst::kErrorNotSupported);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_TRUE(AtaPassThroughByControl(device, block_erase, kWindows11).ok());
  EXPECT_TRUE(AtaPassThroughByControl(device, set_password, kWindowsPe).ok());
  EXPECT_EQ(AtaPassThroughByControl(device, set_password, {true, true, 6, 1, 7601}).error(),
            winconst::kErrorNotSupported) << "Windows 7 freezes security";
}

TEST(FirmwareControlTest, AFailedReinitialisationCountsAsStartedOnlyWhenTheLogSaysSo) {
  // The sanitize log's state byte before and after the request.
  struct Case {
    uint8_t before, after;
    uint32_t error;
    bool accepted;
    uint32_t code;
  };
  const Case cases[] = {
      {1, 2, winconst::kErrorIoDevice, true, 0},                  // under way now
      {0, 1, winconst::kErrorSemTimeout, true, 0},                // finished meanwhile
      {1, 1, winconst::kErrorIoDevice, false, winconst::kErrorIoDevice},  // nothing changed
      {0, 0, winconst::kErrorInvalidFunction, false, winconst::kErrorNotSupported},
      {0, 0, winconst::kErrorNotSupported, false, winconst::kErrorNotSupported},
  };
  for (const Case& c : cases) {
    int queries = 0;
    ControlDevice device([&](const ControlDevice::Call& call, uint8_t* out, uint32_t n) {
      if (call.code != 0x002D1400u) return IoResult::Failure(c.error);
      IoResult r = AnswerQuery(out, n, 0);
      out[48 + 2] = queries++ == 0 ? c.before : c.after;
      return r;
    });
    Result<NvmeCompletion> r = NvmeAdminByControl(device, {.opcode = 0x84, .cdw10 = 2}, kWindows11);
    EXPECT_EQ(r.ok(), c.accepted) << int(c.before) << "->" << int(c.after);
    if (!c.accepted) {
      EXPECT_EQ(r.error(), c.code);
    }
  }
}

TEST(FirmwareControlTest, FormatGoesThroughTheProtocolCommand) {
  std::function<void(uint8_t*)> reply;
  IoResult result(0);
  ControlDevice device([&](const ControlDevice::Call&, uint8_t* out, uint32_t) {
    reply(out);
    return result;
  });
  const NvmeAdminCommand format{.opcode = 0x80, .nsid = 1, .cdw10 = 1u << 9 | 2, .timeout_ms = 7200 * 1000};

  reply = [](uint8_t* out) {
    layout::Store32(out + 16, 1);  // STORAGE_PROTOCOL_STATUS_SUCCESS
    layout::Store32(out + 64, 0x1234);
  };
  Result<NvmeCompletion> ok = NvmeAdminByControl(device, format, kWindowsPe);
  ASSERT_TRUE(ok.ok());
  EXPECT_TRUE(ok->Succeeded());
  EXPECT_EQ(ok->result, 0x1234u);

  const ControlDevice::Call& call = device.calls[0];
  EXPECT_EQ(call.code, 0x002DD3C0u);  // IOCTL_STORAGE_PROTOCOL_COMMAND
  const uint8_t* p = call.in.data();
  ASSERT_EQ(call.in.size(), 80u + 64u + 64u);
  EXPECT_EQ(Load32(p), 1u);            // STORAGE_PROTOCOL_STRUCTURE_VERSION
  EXPECT_EQ(Load32(p + 4), 84u);       // sizeof(STORAGE_PROTOCOL_COMMAND)
  EXPECT_EQ(Load32(p + 8), 3u);        // ProtocolTypeNvme
  EXPECT_EQ(Load32(p + 12), 0x80000000u);  // STORAGE_PROTOCOL_COMMAND_FLAG_ADAPTER_REQUEST
  EXPECT_EQ(Load32(p + 24), 64u);      // CommandLength
  EXPECT_EQ(Load32(p + 28), 64u);      // ErrorInfoLength
  EXPECT_EQ(Load32(p + 32), 0u);
  EXPECT_EQ(Load32(p + 36), 0u);       // no data either way
  EXPECT_EQ(Load32(p + 40), 7200u);    // TimeOutValue in seconds
  EXPECT_EQ(Load32(p + 44), 144u);     // ErrorInfoOffset: after the command
  EXPECT_EQ(Load32(p + 56), 1u);       // STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND
  EXPECT_EQ(p[80], 0x80);              // the command: opcode
  EXPECT_EQ(Load32(p + 84), 1u);       // NSID
  EXPECT_EQ(Load32(p + 120), 1u << 9 | 2);  // CDW10

  // The drive's own refusal: its status from the error information.
  reply = [](uint8_t* out) {
    layout::Store32(out + 16, 2);  // STORAGE_PROTOCOL_STATUS_ERROR
    out[144 + 12] = uint8_t(0x0A << 1);  // invalid format, type 0
    out[144 + 13] = uint8_t(1 << 1);     // status code type 1 (command specific)
  };
  result = IoResult::Failure(winconst::kErrorIoDevice);
  Result<NvmeCompletion> refused = NvmeAdminByControl(device, format, kWindowsPe);
  ASSERT_TRUE(refused.ok());
  EXPECT_EQ(refused->status_type, 1);
  EXPECT_EQ(refused->status_code, 0x0A);

  // An error without a status is never taken for success.
  reply = [](uint8_t* out) { layout::Store32(out + 16, 2); };
  result = IoResult(208);
  Result<NvmeCompletion> blank = NvmeAdminByControl(device, format, kWindowsPe);
  ASSERT_TRUE(blank.ok());
  EXPECT_FALSE(blank->Succeeded());

  // The driver does not carry the command: the caller falls back.
  for (uint32_t status : {3u, 0xFFu}) {
    reply = [status](uint8_t* out) { layout::Store32(out + 16, status); };
    EXPECT_EQ(NvmeAdminByControl(device, format, kWindowsPe).error(), winconst::kErrorNotSupported) << status;
  }
  reply = [](uint8_t*) {};
  result = IoResult::Failure(winconst::kErrorInvalidFunction);
  EXPECT_EQ(NvmeAdminByControl(device, format, kWindowsPe).error(), winconst::kErrorNotSupported);
  result = IoResult::Failure(winconst::kErrorSemTimeout);
  EXPECT_EQ(NvmeAdminByControl(device, format, kWindowsPe).error(), winconst::kErrorSemTimeout)
      << "a time-out leaves the outcome unknown, not refused";
}

TEST(FirmwareControlTest, AtaCommandsCarryTheirTaskFilesAndData) {
  std::vector<uint8_t> sent;
  ControlDevice device([&](const ControlDevice::Call& call, uint8_t* out, uint32_t n) {
    sent = call.in;
    std::memcpy(out, call.in.data(), n);
    uint8_t* cur = out + 40;
    uint8_t* prev = out + 32;
    cur[6] = 0x50;  // DRDY | DSC
    cur[1] = 0x34;
    prev[1] = 0x40;  // count bit 14 on a 48-bit reply
    cur[2] = 0x00;
    cur[3] = 0x80;  // progress 0x8000
    if (n > 48) std::memset(out + 48, 0x5A, n - 48);
    return IoResult(n);
  });

  // IDENTIFY DEVICE: 28-bit, 512 bytes in.
  std::vector<uint8_t> id(512);
  AtaCommand identify{.command = 0xEC, .device = 0, .direction = AtaCommand::Data::kIn, .data = id.data(),
                      .data_length = 512};
  Result<AtaReply> r = AtaPassThroughByControl(device, identify, kWindowsPe);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->status, 0x50);
  EXPECT_EQ(r->count, 0x34) << "a 28-bit reply has no high bytes";
  EXPECT_EQ(id[0], 0x5A);
  EXPECT_EQ(device.calls[0].code, 0x0004D02Cu);  // IOCTL_ATA_PASS_THROUGH
  ASSERT_EQ(sent.size(), 48u + 512u);
  EXPECT_EQ(Load16(sent.data()), 48u);                 // Length
  EXPECT_EQ(Load16(sent.data() + 2), 1u | 2u);         // DRDY_REQUIRED | DATA_IN
  EXPECT_EQ(Load32(sent.data() + 8), 512u);            // DataTransferLength
  EXPECT_EQ(layout::Load64(sent.data() + 24), 48u);    // DataBufferOffset
  EXPECT_EQ(sent[40 + 6], 0xEC);

  // SANITIZE CRYPTO SCRAMBLE: 48-bit, the key split over both task files.
  r = AtaPassThroughByControl(device, {.command = 0xB4, .feature = 0x11, .lba = 0x43727970}, kWindowsPe);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->count, 0x4034);
  EXPECT_EQ(r->lba & 0xFFFF, 0x8000u);
  ASSERT_EQ(sent.size(), 48u);
  EXPECT_EQ(Load16(sent.data() + 2), 1u | 8u);  // DRDY_REQUIRED | 48BIT_COMMAND
  EXPECT_EQ(Load32(sent.data() + 8), 0u);
  EXPECT_EQ(layout::Load64(sent.data() + 24), 0u);
  const uint8_t current[8] = {0x11, 0, 0x70, 0x79, 0x72, 0x40, 0xB4, 0};
  const uint8_t previous[8] = {0, 0, 0x43, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(sent.data() + 40, current, 8), 0);
  EXPECT_EQ(std::memcmp(sent.data() + 32, previous, 8), 0);

  // SECURITY SET PASSWORD: 28-bit, 512 bytes out.
  std::vector<uint8_t> block(512, 0);
  block[2] = 'P';
  r = AtaPassThroughByControl(device, {.command = 0xF1, .direction = AtaCommand::Data::kOut, .data = block.data(),
                                       .data_length = 512, .timeout_seconds = 900}, kWindowsPe);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Load16(sent.data() + 2), 1u | 4u);  // DRDY_REQUIRED | DATA_OUT
  EXPECT_EQ(Load32(sent.data() + 12), 900u);
  EXPECT_EQ(sent[48 + 2], 'P');
  EXPECT_EQ(block[0], 0) << "data sent is not overwritten";
}

TEST(FirmwareControlTest, AtaRefusalsAndBadRequests) {
  ControlDevice refusing([](const ControlDevice::Call&, uint8_t*, uint32_t) {
    return IoResult::Failure(winconst::kErrorInvalidParameter);
  });
  EXPECT_EQ(AtaPassThroughByControl(refusing, {.command = 0xEC}, kWindowsPe).error(), winconst::kErrorNotSupported);
  ControlDevice failing([](const ControlDevice::Call&, uint8_t*, uint32_t) {
    return IoResult::Failure(winconst::kErrorIoDevice);
  });
  EXPECT_EQ(AtaPassThroughByControl(failing, {.command = 0xF4}, kWindowsPe).error(), winconst::kErrorIoDevice);
  ControlDevice short_reply([](const ControlDevice::Call&, uint8_t*, uint32_t) { return IoResult(12); });
  EXPECT_EQ(AtaPassThroughByControl(short_reply, {.command = 0xEC}, kWindowsPe).error(), winconst::kErrorInvalidData);

  std::vector<uint8_t> odd(100);
  Result<AtaReply> r = AtaPassThroughByControl(
      failing, {.command = 0xEC, .direction = AtaCommand::Data::kIn, .data = odd.data(), .data_length = 100}, kWindowsPe);
  EXPECT_EQ(r.error(), winconst::kErrorInvalidParameter);
  EXPECT_TRUE(failing.calls.size() == 1u) << "a partial block is never sent";
}

}  // namespace
}  // namespace plexi::platform
