// The schedule in the settings file beside the executable: what a first start
// finds, a schedule written and read back, the due date a run moves on, and a
// stored mode that does not read.
#include "settings/schedule_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/testing/in_memory_os.h"

namespace quillset {
namespace {

const char kPath[] = "C:\\Tools\\Quillset.ini";

using testing_support::InMemoryOs;

// The executable is C:\Tools\Quillset.exe.
struct ToolsOs : InMemoryOs {
  ToolsOs() {
    SetExecutablePath("C:\\Tools\\Quillset.exe");
    AddFolder("C:\\Tools");
  }
};

std::string Stored(InMemoryOs& os, const std::string& key) {
  return TIniFile(os, kPath).ReadString("Time", key, "<none>");
}

TEST(ScheduleSettingsTest, WrittenBesideTheExecutableAndReadBack) {
  ToolsOs os;
  EXPECT_EQ(ScheduleSettings(os).ReadValue(), "") << "no file: a first start";
  ScheduleSettings(os).Write(Schedule{2, "2027/03/08"});
  EXPECT_EQ(Stored(os, "TimerSet"), "2027/03/08");
  EXPECT_EQ(Stored(os, "TimerIniSet"), "2");

  ScheduleSettings(os).WriteDueDate("2027/03/15");
  EXPECT_EQ(Stored(os, "TimerIniSet"), "2") << "a run moves the due date only";
  ScheduleSettings settings(os);
  EXPECT_EQ(settings.ReadValue(), "2027/03/15");
  EXPECT_EQ(settings.ReadMode(), 2);

  ScheduleSettings(os).Write(FirstRunSchedule());
  EXPECT_EQ(Stored(os, "TimerSet"), "0");
  EXPECT_EQ(Stored(os, "TimerIniSet"), "1");
}

TEST(ScheduleSettingsTest, AStoredModeThatIsNoWholeNumberIsAConversionFailure) {
  // Missing (nullopt), empty, or not a whole number.
  for (const std::optional<std::string>& stored :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("1x"), std::optional<std::string>("2 ")}) {
    ToolsOs os;
    // Quoted, so that the reader keeps a trailing blank.
    os.AddFile(kPath, "[Time]\r\nTimerSet=30\r\n" +
                          (stored ? "TimerIniSet=\"" + *stored + "\"\r\n" : std::string()));
    try {
      ScheduleSettings(os).ReadMode();
      ADD_FAILURE() << stored.value_or("<none>");
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + stored.value_or("") + "' は整数ではありません");
    }
  }
}

TEST(ScheduleSettingsTest, ARefusedWriteNamesTheFile) {
  ToolsOs os;
  os.AddFile(kPath, "");
  os.SetAttributes(kPath, kAttributeReadOnly);  // Windows refuses every write
  try {
    ScheduleSettings(os).Write(FirstRunSchedule());
    ADD_FAILURE();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), std::string(kPath) + " に書き込めません");
  }
  EXPECT_THROW(ScheduleSettings(os).WriteDueDate("2027/03/15"), EIniFileException);
}

}  // namespace
}  // namespace quillset
