#!/usr/bin/env bash
# The layer checker on small planted trees: each case is one file with one
# include; the checker must pass the allowed ones and name the file and line
# of the rest. Usage: checker-catches-planted-includes.sh path/to/check-layers.sh
set -uo pipefail
checker="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
# The areas come from the build's list beside the tree.
printf 'project(x)\nset(KTX_AREAS io gsm gnss onewire rs485 can accel telit)\n' >"$work/CMakeLists.txt"

# expectation | file | include | what the report must contain
cases=(
  "pass|gsm/ModemTests.cpp|gsm/ModemFrame.h|"
  "pass|gsm/ModemTests.cpp|link/UsbLink.h|"
  "pass|link/UsbLink.cpp|base/FileWriter.h|"
  "pass|gnss/sim/ClockModule.h|gnss/ClockRegisters.h|"
  "pass|gnss/sim/ClockModule.h|sim/SimModule.h|"
  "pass|gsm/check/GsmStep.cpp|check/StepTools.h|"
  "pass|gsm/check/GsmStep.cpp|gsm/ModemTests.h|"
  "pass|gsm/check/GsmStep.cpp|sim/ScenarioReader.h|"
  "pass|gsm/ui/GsmTab.cpp|gsm/check/GsmStep.h|"
  "pass|sim/DeviceModel.cpp|sim/SimAreas.h|"
  "pass|gsm/ui/GsmTab.cpp|gsm/ModemTests.h|"
  "pass|gsm/ui/GsmTab.cpp|widgets/PanelColors.h|"
  "pass|widgets/LazyPage.cpp|base/FileWriter.h|"
  "pass|app/ui/Window.cpp|telit/ui/TelitTab.h|"
  "pass|app/ui/Window.cpp|app/Settings.h|"
  "pass|check/Main.cpp|sim/SimDriver.h|"
  "pass|app/ui/ProtocolAction.cpp|check/CheckRun.h|"
  "pass|results/RunRows.cpp|check/Profile.h|"
  "pass|check/main.cpp|results/ResultsCommands.h|"
  "pass|app/ui/HistoryDialog.cpp|results/ResultsStore.h|"
  "fail|base/AppContext.h|link/UsbLink.h|base/AppContext.h:3: includes \"link/UsbLink.h\" from a layer above"
  "fail|link/Identification.cpp|io/ui/InputsTab.h|link/Identification.cpp:3: Qt-free code includes the ui/ file"
  "fail|onewire/Replies.cpp|io/FloatText.h|onewire/Replies.cpp:3: onewire includes another area: \"io/FloatText.h\""
  "fail|gsm/ui/TelitTab.h|telit/FirmwareUpdate.h|gsm/ui/TelitTab.h:3: gsm includes another area"
  "fail|telit/ui/TelitTab.cpp|gsm/ui/GsmTab.h|telit/ui/TelitTab.cpp:3: telit includes another area"
  "fail|gnss/DeviceClock.cpp|sim/ClockModule.h|gnss/DeviceClock.cpp:3: includes \"sim/ClockModule.h\" from a layer above"
  "fail|sim/IoModule.cpp|app/Settings.h|sim/IoModule.cpp:3: includes \"app/Settings.h\" from a layer above"
  "fail|io/sim/IoModule.cpp|gnss/sim/GnssModule.h|io/sim/IoModule.cpp:3: io includes another area: \"gnss/sim/GnssModule.h\""
  "fail|io/check/SupplyStep.cpp|gsm/check/GsmStep.h|io/check/SupplyStep.cpp:3: io includes another area"
  "fail|io/check/SupplyStep.cpp|gsm/ModemTests.h|io/check/SupplyStep.cpp:3: io includes another area"
  "fail|gsm/ModemTests.cpp|gsm/sim/ModemModule.h|gsm/ModemTests.cpp:3: includes \"gsm/sim/ModemModule.h\" from a layer above"
  "fail|gsm/ModemTests.cpp|gsm/check/GsmStep.h|gsm/ModemTests.cpp:3: includes \"gsm/check/GsmStep.h\" from a layer above"
  "fail|gsm/sim/ModemModule.cpp|gsm/check/GsmStep.h|gsm/sim/ModemModule.cpp:3: includes \"gsm/check/GsmStep.h\" from a layer above"
  "fail|gsm/sim/ModemModule.cpp|check/StepTools.h|gsm/sim/ModemModule.cpp:3: includes \"check/StepTools.h\" from a layer above"
  "fail|gsm/check/GsmStep.cpp|results/ResultsStore.h|gsm/check/GsmStep.cpp:3: includes \"results/ResultsStore.h\" from a layer above"
  "fail|gsm/check/GsmStep.cpp|gsm/ui/GsmTab.h|gsm/check/GsmStep.cpp:3: Qt-free code includes the ui/ file"
  "fail|sim/DeviceModel.cpp|gsm/sim/ModemModule.h|sim/DeviceModel.cpp:3: includes \"gsm/sim/ModemModule.h\" from a layer above or beside"
  "fail|check/CheckRun.cpp|gsm/check/GsmStep.h|check/CheckRun.cpp:3: includes \"gsm/check/GsmStep.h\" from a layer above or beside"
  "fail|check/Steps.cpp|app/Settings.h|check/Steps.cpp:3: includes \"app/Settings.h\" from a layer above"
  "fail|check/Steps.cpp|results/ResultsStore.h|check/Steps.cpp:3: includes \"results/ResultsStore.h\" from a layer above"
  "fail|widgets/DeviceActions.cpp|gsm/ui/GsmTab.h|widgets/DeviceActions.cpp:3: includes \"gsm/ui/GsmTab.h\" from a layer above"
  "fail|widgets/DeviceActions.cpp|app/ui/Consoles.h|widgets/DeviceActions.cpp:3: includes \"app/ui/Consoles.h\" from a layer above"
  "fail|base/LogSink.cpp|widgets/PanelColors.h|base/LogSink.cpp:3: Qt-free code includes the ui/ file"
  "fail|results/Outbox.cpp|widgets/DeviceActions.h|results/Outbox.cpp:3: Qt-free code includes the ui/ file"
  "fail|results/Outbox.cpp|app/Settings.h|results/Outbox.cpp:3: includes \"app/Settings.h\" from a layer above"
  "fail|check/Main.cpp|gsm/ui/GsmTab.h|check/Main.cpp:3: Qt-free code includes the ui/ file"
  "fail|app/Settings.cpp|app/ui/Consoles.h|app/Settings.cpp:3: Qt-free code includes the ui/ file"
  "fail|extra/Thing.cpp|base/FileWriter.h|extra/Thing.cpp:1: folder \"extra\" is not in the layer stack"
  "fail|gsm/ModemTests.cpp|extra/Thing.h|gsm/ModemTests.cpp:3: includes \"extra/Thing.h\" from outside the layer stack"
)

for entry in "${cases[@]}"; do
  IFS='|' read -r expect file include message <<<"$entry"
  tree="$work/src"
  rm -rf "$tree"
  mkdir -p "$tree/$(dirname "$file")"
  printf '#pragma once\n#include <string>\n#include "%s"\n#include "ui_Form.h"\n' "$include" >"$tree/$file"
  output="$("$checker" "$tree" 2>&1)"
  status=$?
  if [ "$expect" = pass ] && [ "$status" -ne 0 ]; then
    echo "FAILED: $file including $include was refused: $output"
    failures=$((failures + 1))
  elif [ "$expect" = fail ] && { [ "$status" -ne 1 ] || [[ "$output" != *"$message"* ]]; }; then
    echo "FAILED: $file including $include: status $status, expected \"$message\", got: $output"
    failures=$((failures + 1))
  fi
done

# A wrong include among many good ones is still found, and only it.
tree="$work/src"
rm -rf "$tree"
mkdir -p "$tree/base" "$tree/link" "$tree/io"
printf '#include "base/FileWriter.h"\n' >"$tree/link/UsbLink.cpp"
printf '#include "link/UsbLink.h"\n\n// fine so far\n#include "io/StatusPoll.h"\n' >"$tree/base/Late.cpp"
printf '#include "link/UsbLink.h"\n' >"$tree/io/StatusPoll.cpp"
output="$("$checker" "$tree" 2>&1)"
expected=$'base/Late.cpp:1: includes "link/UsbLink.h" from a layer above or beside its own\nbase/Late.cpp:4: includes "io/StatusPoll.h" from a layer above or beside its own'
if [ "$output" != "$expected" ]; then
  echo "FAILED: mixed tree reported: $output"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "all planted trees judged right"
exit $((failures > 0))
