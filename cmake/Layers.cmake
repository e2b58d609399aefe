# The layers are folders, lowest first. A file may include files of its own
# folder and of the layers before its own, never one after it; the front ends
# (gui and cli) share the top and do not include each other. No file of core/
# includes Qt, an operating-system header, or anything above the core.
# tests/ runs cmake/CheckLayers.cmake over these folders.
set(O8R_LAYERS
    # What each C runtime does its own way: file replacement, sleep precision, paths.
    platform
    # The wire: the box's commands and answers, the bridge, the clock.
    core/protocol
    # Values everyone names: memory map, outcomes and their texts, ids, hex text.
    core/model
    # The part catalogue, where it is found, and the ID-code rules.
    core/catalogue
    # S-record reading and writing, page checksums, read rows.
    core/image
    # The box's lines, resets, handshakes and framed exchanges.
    core/link
    # The operations and their exchanges, and the rules of the dialogs.
    core/operations
    # Production jobs: the job file, its plan, serial numbers, the run of its steps.
    core/jobs
    # The main window's logic without widgets.
    core/window
    # The simulated box, then the real bridges and the factory that picks one.
    sim
    bridges
    # The front ends: the Qt program and o8rprog, side by side.
    "gui,cli")

# Every source file of the folders under `dir`, for a library's sources.
function(o8r_sources_under out dir)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    set(${out} ${found} PARENT_SCOPE)
endfunction()
