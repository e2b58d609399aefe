# The core library's files by layer, named one by one. A file may include its
# own layer and the layers before it, never one after it; no core file includes
# Qt, an operating-system header, or anything outside the core (the desktop
# program, the command line, the simulated box, the real bridges).
# tests/ runs cmake/CheckLayers.cmake over this table.

# Protocol and process-wide state: wire constants, the shared values, the
# catalogue, the image files, and the texts and outcomes everyone names.
set(O8R_LAYER_STATE
    app/HexText.cpp app/HexText.h app/Ids.h app/MemoryMap.cpp app/MemoryMap.h app/Message.h
    app/Messages.h app/Outcome.cpp app/Outcome.h app/SharedState.cpp app/SharedState.h
    catalogue/Catalogue.cpp catalogue/Catalogue.h catalogue/CatalogueLocation.cpp
    catalogue/CatalogueLocation.h catalogue/IdCodeRules.cpp
    catalogue/IdCodeRules.h
    link/BoxProtocol.h link/Bridge.h link/Clock.cpp link/Clock.h link/SleepPrecision.h
    link/ViolationSource.h
    operations/AddressRangeRules.cpp operations/AddressRangeRules.h
    srec/LineReader.cpp srec/LineReader.h srec/LoadedFile.cpp srec/LoadedFile.h
    srec/PageChecksum.cpp srec/PageChecksum.h srec/ReadRow.cpp srec/ReadRow.h
    srec/SRecordLine.cpp srec/SRecordLine.h srec/SRecordLoader.cpp srec/SRecordLoader.h
    srec/SRecordWriter.cpp srec/SRecordWriter.h srec/NewFile.h srec/Utf8Path.h)

# The link: the box's lines, resets, handshakes and framed exchanges.
set(O8R_LAYER_LINK link/BoxLink.cpp link/BoxLink.h link/SiUsbXpTable.cpp link/SiUsbXpTable.h
                   link/TracingBridge.cpp link/TracingBridge.h)

# Operations: the operations API, the exchanges it shares with the window,
# and the rules of the dialogs, behind the interfaces the front ends implement.
set(O8R_LAYER_OPERATIONS
    app/MainView.h app/Prompts.h app/TimerSchedule.cpp app/TimerSchedule.h
    catalogue/IdCodeDialog.cpp catalogue/IdCodeDialog.h
    operations/AddressSettingDialog.cpp operations/AddressSettingDialog.h
    operations/BoxSession.cpp operations/BoxSession.h operations/EraseSettingDialog.cpp
    operations/EraseSettingDialog.h operations/LoaderExchange.cpp operations/LoaderExchange.h
    operations/RangePages.cpp operations/RangePages.h operations/ReadSession.cpp
    operations/ReadSession.h operations/VerifyPages.cpp operations/VerifyPages.h
    srec/FileLoadJob.cpp srec/FileLoadJob.h)

# The main window's logic and its timer-driven engine, without widgets.
set(O8R_LAYER_WINDOW
    app/ProgrammerController.cpp app/ProgrammerController.h link/LinkRoutines.cpp
    operations/BlankCheckOperation.cpp operations/EraseOperation.cpp
    operations/FirmwareUpdate.cpp operations/LoadOperation.cpp operations/OperationEngine.cpp
    operations/ProgramOperation.cpp operations/ReadButton.cpp srec/SelectAndLoadFile.cpp)

set(O8R_CORE_FILES ${O8R_LAYER_STATE} ${O8R_LAYER_LINK} ${O8R_LAYER_OPERATIONS}
                   ${O8R_LAYER_WINDOW})
set(O8R_CORE_SOURCES ${O8R_CORE_FILES})
list(FILTER O8R_CORE_SOURCES INCLUDE REGEX "\\.cpp$")
list(TRANSFORM O8R_CORE_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
