# Windows only: doctor's checks of SiUSBXp.dll and of the boxes it sees, over
# the stand-in library; the build's folder is shown as BUILD.
full=$O8R_STANDIN_DIR
note "No SiUSBXp.dll beside the program or on the search path."
O8R_STANDIN_DIR='' run o8rprog doctor
note "A library that lacks one of the twelve functions."
O8R_STANDIN_DIR=${full%/full}/partial run o8rprog doctor
note "Two boxes, each with its serial number."
O8R_STANDIN_BOXES=2 run o8rprog doctor
python3 - "$transcript" "$(dirname "$(dirname "$full")")" <<'PYTHON'
import sys
path, build = sys.argv[1], sys.argv[2]
with open(path, encoding="utf-8") as f:
    text = f.read().replace("Z:" + build.replace("/", "\\"), "BUILD")
with open(path, "w", encoding="utf-8") as f:
    f.write(text)
PYTHON
