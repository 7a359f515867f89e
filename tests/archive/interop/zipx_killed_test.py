#!/usr/bin/env python3
"""A writer killed during its commit leaves its temporary beside the archive; the next writer removes
it, while the temporaries of running processes, one that its writer holds (a writer in another pid
namespace, whose id names no process here), and files of other shapes stay."""
import fcntl, os, signal, subprocess, sys, tempfile, time, zipfile

zipx, case = sys.argv[1], sys.argv[2]
assert case == "commit_leftovers"
with tempfile.TemporaryDirectory() as tmp:
    src, arc = os.path.join(tmp, "s"), os.path.join(tmp, "n.zip")
    os.mkdir(src)
    with open(os.path.join(src, "a.txt"), "w") as f:
        f.write("a")
    with open(os.path.join(src, "big.bin"), "wb") as f:
        f.write(os.urandom(64 << 20))
    subprocess.run([zipx, "add", arc, src, "a.txt"], check=True)
    before = open(arc, "rb").read()
    killed = subprocess.Popen([zipx, "add", arc, src, "big.bin"])
    while not [n for n in os.listdir(tmp) if n.startswith("n.zip.FC")] and killed.poll() is None:
        time.sleep(0.01)
    killed.send_signal(signal.SIGKILL)
    killed.wait()
    assert open(arc, "rb").read() == before, "a killed commit changed the archive"
    left = [n for n in os.listdir(tmp) if n.startswith("n.zip.FC")]
    assert left, "the kill came too late to leave a temporary"
    foreign = 2147483646  # an id that no process here has
    live, held = f"n.zip.FC{os.getpid()}.ABCD.tmp", f"n.zip.FC{foreign}.ABCD.tmp"
    shapes = [f"n.zip.FC{foreign}.000{i}.tmp" for i in range(3)]
    kept = [live, held, "n.zip.FC1A2B.tmp", "n.zip.FC12.tmp", "other.zip.FC999999999.ABCD.tmp"] + shapes
    for name in kept[:-3]:
        open(os.path.join(tmp, name), "w").close()
    fcntl.lockf(holder := open(os.path.join(tmp, held), "w"), fcntl.LOCK_EX | fcntl.LOCK_NB)
    for make, name in zip((lambda p: os.symlink(os.path.join(src, "a.txt"), p), os.mkfifo, os.mkdir), shapes):
        make(os.path.join(tmp, name))
    subprocess.run([zipx, "add", arc, src, "a.txt"], check=True)
    names = set(os.listdir(tmp))
    assert not names & set(left), f"left by the killed writer: {names & set(left)}"
    assert set(kept) <= names, f"removed: {set(kept) - names}"
    assert zipfile.ZipFile(arc).testzip() is None
print("ok")
