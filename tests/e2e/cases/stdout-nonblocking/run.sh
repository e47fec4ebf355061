# Standard output is a non-blocking pipe that is full when the run starts:
# the run waits for its reader instead of failing.
cp "$REPO/tests/data/worked.pdb" in.pdb
python3 - "$BIN" <<'PY'
import fcntl, os, subprocess, sys, time
r, w = os.pipe()
fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) | os.O_NONBLOCK)
filled = 0
try:
    while True:
        filled += os.write(w, b"." * 4096)
except BlockingIOError:
    pass
run = subprocess.Popen([sys.argv[1], "-r", "in.pdb", "out.pdb"], stdout=w)
os.close(w)
time.sleep(0.3)
data = b""
while chunk := os.read(r, 65536):
    data += chunk
print("status", run.wait())
print(data[filled:].decode().split("\n")[3])
PY
