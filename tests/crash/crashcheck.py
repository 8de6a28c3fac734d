#!/usr/bin/env python3
"""The crash-state checker: records what a scenario asks of the file system (under strace), builds
the on-disk states that a crash may leave under the persistence model of README.md, and checks in
each that no file is lost, nothing torn has a final name, the log and the journal read back, and an
undo run in that state loses nothing."""
import argparse, bisect, concurrent.futures, hashlib, os, random, re, shutil, stat, subprocess, sys, time, urllib.parse

BLOCK = 4096
TOP = '/tmp/quillfen-crash'  # fixed: the journal and the store hold absolute paths
TRACED = ('open,openat,creat,close,dup,dup2,dup3,fcntl,write,pwrite64,writev,read,pread64,lseek,'
          'copy_file_range,ioctl,ftruncate,fsync,fdatasync,syncfs,sync,rename,renameat,renameat2,'
          'link,linkat,unlink,unlinkat,mkdir,mkdirat,rmdir,symlink,utimensat,clone,clone3,fork,vfork')
HEADER = (rb'#-{60}#\r\n# This file was created by Marivale Quillfen       #\r\n#-{60}#\r\n'
          rb'# Created [^\t\r\n]+\r\n\r\n\r\n\r\n')
RECORD = (rb'(?:Begin (?:Copy|Move) File \t[^\t\r\n]+\r\n\tFrom: \t[^\t\r\n]+\r\n'
          rb'|\tTo:   [^\t\r\n]+\r\n(?:Copy|Move) File (?:successful| failed: [^\t\r\n]+)\t[^\t\r\n]+\r\n\r\n\r\n'
          rb'|(?:Copy|Move) File cancelled\t[^\t\r\n]+\r\n\t[^\t\r\n]+\r\n'
          rb'File skipped due to date restrictions\r\n\r\n\r\n)')
# A placement without links or rename flags claims the name first, empty, and renames the complete
# file over the claim: a crash before that rename reaches the disk leaves the claim.
KNOWN = 'known window, the claimed name still empty: '
WHOLE_LOG = re.compile(HEADER + RECORD + b'*+', re.S)
TRASH_INFO = re.compile(rb'\[Trash Info\]\nPath=([^\n]+)\nDeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\n')


# ------------------------------------------------------------------ recording: strace to operations

class Op:
    """One operation on the modelled files: 'data' (a new version of a file's bytes), 'meta' (its
    modification time), 'name' (link, unlink or rename of names), 'fsync' or 'sync'."""
    def __init__(self, kind, line, text, **fields):
        self.kind, self.line, self.text, self.durable_at = kind, line, text, None
        self.__dict__.update(fields)


class Fd:
    def __init__(self, ino, append=False):
        self.ino, self.pos, self.append = ino, 0, append


def unhex(text):
    return bytes.fromhex(text.replace('\\x', '')) if text else b''


def split_args(text):
    args, depth, start = [], 0, 0
    for k, c in enumerate(text):
        depth += (c in '[{(') - (c in ']})')
        if c == ',' and depth == 0:
            args.append(text[start:k].strip())
            start = k + 1
    return args + [text[start:].strip()] if text.strip() else args


FD_ARG = re.compile(r'(-?\d+|AT_FDCWD)(?:<((?:\\x[0-9a-f]{2})*)>)?')
STRING = re.compile(r'"((?:\\x[0-9a-f]{2})*)"')
CALL = re.compile(r'(\w+)\((.*)\)\s+=\s+(-?\d+)')


class Recording:
    """The operations of one traced run on the files below `roots`, and the files as they were."""

    def __init__(self, roots, snapshot):
        self.roots = [r.encode() for r in roots]
        self.ops, self.versions, self.kind, self.mtime0 = [], {}, {}, {}
        self.ns, self.fds, self.cwd = {}, {}, b'/'
        self.reused = {}  # descriptor numbers opened anew before their close was printed
        self.init_ns = {}
        for path, (ino, kind, content, mtime) in snapshot.items():
            self.ns[path] = self.init_ns[path] = ino
            self.kind[ino], self.versions[ino], self.mtime0[ino] = kind, [content], mtime
        self.next_ino = max(self.kind, default=0) + 1

    def scoped(self, path):
        return any(path == r or path.startswith(r + b'/') for r in self.roots)

    def show(self, path):
        for r in self.roots:
            if path.startswith(r):
                return path[len(os.path.dirname(r)) + 1:].decode(errors='replace')
        return path.decode(errors='replace')

    def new_inode(self, kind, content=b''):
        ino, self.next_ino = self.next_ino, self.next_ino + 1
        self.kind[ino], self.versions[ino], self.mtime0[ino] = kind, [content], None
        return ino

    def resolve(self, fd_text, path):
        if path.startswith(b'/'):
            return os.path.normpath(path)
        m = FD_ARG.fullmatch(fd_text)
        return os.path.normpath(os.path.join(unhex(m.group(2)) if m and m.group(2) else self.cwd, path))

    @staticmethod
    def fd_number(text):
        return int(FD_ARG.match(text).group(1))

    def write(self, ino, off, data, line, text):
        old = self.versions[ino][-1]
        new = old[:off].ljust(off, b'\0') + data + old[off + len(data):]
        self.versions[ino].append(new)
        self.ops.append(Op('data', line, text, ino=ino, ver=len(self.versions[ino]) - 1))

    def name(self, line, text, unlink=None, link=None, ino=None):
        """unlink: a name taken away (with link: a rename); link: a name given to `ino`."""
        paths = [p for p in (unlink, link) if p is not None]
        dirs = {self.ns[os.path.dirname(p)] for p in paths}
        if unlink is not None:
            ino = self.ns.pop(unlink)
        if link is not None:
            self.ns[link] = ino
        self.ops.append(Op('name', line, text, unlink=unlink, link=link, ino=ino, paths=paths, dirs=dirs))

    def parse(self, trace_path):
        pending = {}
        for number, raw in enumerate(open(trace_path, encoding='latin-1'), 1):
            pid, _, rest = raw.rstrip('\n').partition(' ')
            rest = rest.strip()
            if rest.endswith('<unfinished ...>'):
                pending[pid] = rest[:-len('<unfinished ...>')]
                continue
            if rest.startswith('<...'):
                rest = pending.pop(pid, '') + rest.split('resumed>', 1)[1]
            m = CALL.match(rest)
            if m and int(m.group(3)) >= 0:
                self.call(m.group(1), split_args(m.group(2)), int(m.group(3)), number, rest)

    def text(self, call, *paths):
        return call + ' ' + ' -> '.join(self.show(p) for p in paths)

    def call(self, call, args, ret, line, raw):
        text = lambda k: unhex(STRING.match(args[k]).group(1))
        path = lambda k, d=None: self.resolve(args[d] if d is not None else '', text(k))
        fd = lambda k: self.fds.get(self.fd_number(args[k]))
        if ret in self.fds and (call in ('open', 'openat', 'creat', 'dup')
                                or (call == 'fcntl' and 'F_DUPFD' in args[1])):
            # Threads share the table: another thread's close of this number comes later in the trace.
            self.reused[ret] = self.reused.get(ret, 0) + 1
        if call in ('open', 'openat', 'creat'):
            p = path(1, 0) if call == 'openat' else path(0)
            flags = args[2 if call == 'openat' else 1] if call != 'creat' else 'O_CREAT|O_TRUNC'
            if not self.scoped(p):
                self.fds[ret] = None
            elif 'O_TMPFILE' in flags:
                self.fds[ret] = Fd(self.new_inode('f'))
            else:
                if p not in self.ns:
                    if 'O_CREAT' not in flags:
                        raise SystemExit(f'trace line {line}: {self.show(p)} opened but not modelled')
                    self.name(line, self.text('create', p), link=p, ino=self.new_inode('f'))
                ino = self.ns[p]
                if 'O_TRUNC' in flags and self.versions[ino][-1]:
                    self.versions[ino].append(b'')
                    self.ops.append(Op('data', line, self.text('truncate', p), ino=ino,
                                       ver=len(self.versions[ino]) - 1))
                self.fds[ret] = Fd(ino, 'O_APPEND' in flags)
        elif call == 'close':
            number = self.fd_number(args[0])
            if self.reused.get(number):
                self.reused[number] -= 1
            else:
                self.fds.pop(number, None)
        elif call in ('dup', 'dup2', 'dup3') or (call == 'fcntl' and 'F_DUPFD' in args[1]):
            self.fds[ret] = fd(0)
        elif call in ('read', 'lseek'):
            if fd(0):
                fd(0).pos = ret if call == 'lseek' else fd(0).pos + ret
        elif call in ('write', 'pwrite64', 'writev') and fd(0):
            f = fd(0)
            data = (b''.join(unhex(s) for s in STRING.findall(args[1])) if call == 'writev' else text(1))[:ret]
            off = int(args[3]) if call == 'pwrite64' else len(self.versions[f.ino][-1]) if f.append else f.pos
            self.write(f.ino, off, data, line, f'{call} {len(data)} bytes at {off} of ' + self.where(f.ino))
            if call != 'pwrite64':
                f.pos = off + len(data)
        elif call == 'copy_file_range' and fd(2) and ret > 0:
            src, dst = fd(0), fd(2)
            if src is None or args[1] != 'NULL' or args[3] != 'NULL':
                raise SystemExit(f'trace line {line}: a copy the model cannot follow')
            data = self.versions[src.ino][-1][src.pos:src.pos + ret]
            self.write(dst.ino, dst.pos, data, line, f'copy_file_range {ret} bytes at {dst.pos} to '
                       + self.where(dst.ino))
            src.pos, dst.pos = src.pos + ret, dst.pos + ret
        elif call == 'ioctl' and 'FICLONE' in args[1] and fd(0):
            source = self.versions[fd(2).ino][-1]
            self.write(fd(0).ino, 0, source, line, 'clone into ' + self.where(fd(0).ino))
        elif call == 'ftruncate' and fd(0):
            ino, size = fd(0).ino, int(args[1])
            old = self.versions[ino][-1]
            self.versions[ino].append(old[:size].ljust(size, b'\0'))
            self.ops.append(Op('data', line, f'ftruncate {size} ' + self.where(ino), ino=ino,
                               ver=len(self.versions[ino]) - 1))
        elif call in ('fsync', 'fdatasync') and fd(0):
            self.ops.append(Op('fsync', line, f'{call} ' + self.where(fd(0).ino), ino=fd(0).ino,
                               datasync=call == 'fdatasync'))
        elif call in ('sync', 'syncfs'):
            self.ops.append(Op('sync', line, call))
        elif call in ('rename', 'renameat', 'renameat2'):
            a, b = (path(0), path(1)) if call == 'rename' else (path(1, 0), path(3, 2))
            if self.scoped(a) or self.scoped(b):
                self.name(line, self.text('rename', a, b), unlink=a, link=b)
        elif call in ('link', 'linkat'):
            a = text(0 if call == 'link' else 1)
            b = path(1) if call == 'link' else path(3, 2)
            if self.scoped(b):
                m = re.fullmatch(rb'/proc/self/fd/(\d+)', a)
                ino = self.fds[int(m.group(1))].ino if m else self.ns[path(0) if call == 'link' else path(1, 0)]
                self.name(line, f'{call} {self.where(ino) if m else self.show(a)} -> {self.show(b)}', link=b, ino=ino)
        elif call in ('unlink', 'unlinkat', 'rmdir'):
            p = path(1, 0) if call == 'unlinkat' else path(0)
            if self.scoped(p):
                self.name(line, self.text(call, p), unlink=p)
        elif call in ('mkdir', 'mkdirat'):
            p = path(1, 0) if call == 'mkdirat' else path(0)
            if self.scoped(p):
                self.name(line, self.text('mkdir', p), link=p, ino=self.new_inode('d'))
        elif call == 'symlink':
            p = path(1)
            if self.scoped(p):
                self.name(line, self.text('symlink', p), link=p, ino=self.new_inode('l', text(0)))
        elif call == 'utimensat':
            ino = (fd(0).ino if fd(0) else None) if args[1] == 'NULL' else self.ns.get(path(1, 0))
            times = re.findall(r'tv_sec=(\d+), tv_nsec=(\d+)', args[2])
            if ino is not None and len(times) == 2:
                self.ops.append(Op('meta', line, 'futimens ' + self.where(ino), ino=ino,
                                   mtime=int(times[1][0]) * 10**9 + int(times[1][1])))
        elif call in ('fork', 'vfork') or (call in ('clone', 'clone3') and 'CLONE_FILES' not in raw):
            raise SystemExit(f'trace line {line}: a new process; the model follows one descriptor table')

    def where(self, ino):
        names = [p for p, i in self.ns.items() if i == ino]
        return self.show(names[0]) if names else 'a nameless file'

    def finish(self):
        """Works out when each operation becomes durable, and what must come before what."""
        flushes = {}
        for k, op in enumerate(self.ops):
            op.index = k
            if op.kind == 'fsync':
                flushes.setdefault(op.ino, []).append((k, op.datasync))
        syncs = [k for k, op in enumerate(self.ops) if op.kind == 'sync']
        never = len(self.ops) + 1

        def next_flush(ino, after, meta=False):
            found = [k for k, datasync in flushes.get(ino, []) if k > after and not (meta and datasync)]
            later = syncs[bisect.bisect_right(syncs, after):]
            return min(found[:1] + later[:1] + [never])
        last_on = {}
        for k, op in enumerate(self.ops):
            if op.kind in ('data', 'meta'):
                op.durable_at = next_flush(op.ino, k, op.kind == 'meta')
            elif op.kind == 'name':
                op.durable_at = max(next_flush(d, k) for d in op.dirs)
                op.before = {last_on[p] for p in op.paths if p in last_on}
                op.after = set()
                for b in op.before:
                    self.ops[b].after.add(k)
                for p in op.paths:
                    last_on[p] = k
        self.names = [op for op in self.ops if op.kind == 'name']
        created = {op.link for op in self.names if op.text.startswith('create ')}
        self.claimed = {op.link for op in self.names if op.unlink is not None and op.link in created}
        self.data_ops = {}
        for op in self.ops:
            if op.kind in ('data', 'meta'):
                self.data_ops.setdefault((op.kind, op.ino), []).append(op)


# ------------------------------------------------------------------ the model: crash states

def closure(start, step, ops):
    seen, todo = set(), list(start)
    while todo:
        k = todo.pop()
        if k not in seen:
            seen.add(k)
            todo.extend(getattr(ops[k], step))
    return seen


class Crash:
    """The states a crash after the first `t` operations may leave: every durable operation is
    there; of the others, any set that keeps the order of operations on one name; file data in
    whole blocks, each block as it was at some moment since its last flush."""

    def __init__(self, rec, t):
        self.rec, self.t = rec, t
        ops = rec.ops
        done = [op for op in rec.names if op.index < t]
        self.forced = closure([op.index for op in done if op.durable_at < t], 'before', ops)
        self.free = [op.index for op in done if op.index not in self.forced]
        self.ranges = {}
        for (kind, ino), list_ in rec.data_ops.items():
            happened = [op for op in list_ if op.index < t]
            durable = [op for op in happened if op.durable_at < t]
            if len(happened) > len(durable):
                self.ranges[(kind, ino)] = (durable, happened)

    def kept_only(self, k):
        return closure([k], 'before', self.rec.ops) - self.forced

    def dropped(self, k):
        return set(self.free) - closure([k], 'after', self.rec.ops)

    def variants(self, rng, randoms, targeted=3):
        """(label, kept name operations, choice per file) of the states to look at here."""
        free, files = self.free, list(self.ranges)
        yield 'nothing since the last flush', set(), {f: 'base' for f in files}
        yield 'everything', set(free), {f: 'full' for f in files}
        for k in free[-targeted:]:
            yield 'all but one', self.dropped(k), {f: 'full' for f in files}
            yield 'only one', self.kept_only(k), {f: 'base' for f in files}
        for f in [f for f in files if f[0] == 'data'][-targeted:]:
            yield 'one file in part', set(free), {g: 'full' if g != f else ('mix', rng.random()) for g in files}
        for _ in range(randoms):
            kept = closure([k for k in free if rng.random() < 0.5], 'before', self.rec.ops) - self.forced
            yield 'any', kept, {f: rng.choice(['base', 'full', ('mix', rng.random())]) for f in files}

    def version(self, f, choice):
        """The bytes (or time) of file `f` under `choice`, and a key that tells them apart."""
        kind, ino = f
        durable, happened = self.ranges.get(f, ([], []))
        pick = lambda ops: (ops[-1].ver if kind == 'data' else ops[-1].mtime) if ops else None
        if f not in self.ranges or choice == 'full':
            ops = happened or [op for op in self.rec.data_ops.get(f, []) if op.index < self.t]
        elif choice == 'base' or kind == 'meta' and choice[1] < 0.5:
            ops = durable
        elif kind == 'meta':
            ops = happened
        else:
            return self.mixed(ino, durable, happened, choice[1])
        v = pick(ops)
        if kind == 'meta':
            return (v if ops else self.rec.mtime0[ino]), v
        return self.rec.versions[ino][v or 0], v or 0

    def mixed(self, ino, durable, happened, seed):
        rng = random.Random(seed)
        choices = [durable[-1].ver if durable else 0] + [op.ver for op in happened[len(durable):]]
        versions = self.rec.versions[ino]
        size = len(versions[rng.choice(choices)])
        picks = [rng.choice(choices) for _ in range(-(-size // BLOCK))]
        data = b''.join(versions[v][b * BLOCK:(b + 1) * BLOCK].ljust(BLOCK, b'\0') for b, v in enumerate(picks))
        return data[:size], ('mix', size, tuple(picks))

    def build(self, kept, choice):
        """path -> (kind, inode, bytes, mtime) of the state, reachable names only; and its key."""
        ns = dict(self.rec.init_ns)
        for op in self.rec.names:
            if op.index >= self.t:
                break
            if op.index in self.forced or op.index in kept:
                ns.pop(op.unlink, None)
                if op.link is not None:
                    ns[op.link] = op.ino
        state, key = {}, []
        for path in sorted(ns):
            if path not in self.rec.roots and os.path.dirname(path) not in state:
                continue  # its folder's own name did not reach the disk
            ino = ns[path]
            kind = self.rec.kind[ino]
            data, dkey = self.version(('data', ino), choice.get(('data', ino), 'full'))
            mtime, mkey = self.version(('meta', ino), choice.get(('meta', ino), 'full'))
            state[path] = (kind, ino, data, mtime)
            key.append((path, ino, dkey, mkey))
        return state, hashlib.sha1(repr(key).encode()).hexdigest()

    def lost(self, kept, choice):
        """The operations this state goes without, as lines to show."""
        show = lambda op: f'{op.text} (trace line {op.line})'
        out = [f'lost: {show(self.rec.ops[k])}' for k in self.free if k not in kept]
        for f, (durable, happened) in self.ranges.items():
            if choice.get(f, 'full') != 'full':
                ops = happened[len(durable):]
                what = 'all of it' if choice[f] == 'base' else 'in part, in whole blocks'
                out.append(f'lost ({what}): {show(ops[0])}' + (f' .. {show(ops[-1])}' if len(ops) > 1 else ''))
        upcoming = [f'  before {show(op)}' for op in self.rec.ops[self.t:self.t + 3]]
        return out or ['lost: nothing; the crash came'] + upcoming


# ------------------------------------------------------------------ worlds on disk

def snapshot(roots, real=None):
    """path -> (inode key, kind, bytes, mtime) of everything below `roots`, roots included; `real`,
    when given, gets each path's device, inode number and permission bits."""
    found = {}
    for root in roots:
        for folder, dirs, files in os.walk(root):
            for name in [''] + dirs + files:
                path = os.path.join(folder, name) if name else folder
                st = os.lstat(path)
                kind = 'l' if os.path.islink(path) else 'd' if os.path.isdir(path) else 'f'
                data = open(path, 'rb').read() if kind == 'f' else os.fsencode(os.readlink(path)) if kind == 'l' else b''
                found[os.fsencode(path)] = ((st.st_dev, st.st_ino), kind, data, st.st_mtime_ns)
                if real is not None:
                    real[os.fsencode(path)] = (st.st_dev, st.st_ino, stat.S_IMODE(st.st_mode))
    inos = {}
    return {p: (inos.setdefault(key, len(inos) + 1), kind, data, mtime)
            for p, (key, kind, data, mtime) in found.items()}


def clear(root, keep=()):
    for name in os.listdir(root):
        path = os.path.join(root, name)
        if path in keep:
            clear(path)
        elif os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.unlink(path)


def materialise(state, world, modes):
    clear(world.root, keep=(world.other,))
    made = {}
    crash_time = time.time_ns() - 120 * 10**9  # a restart after a power loss comes a while later
    for path in sorted(state, key=lambda p: p.count(b'/')):
        kind, ino, data, mtime = state[path]
        if os.path.lexists(path):
            continue  # a root
        if kind == 'd':
            os.mkdir(path)
        elif kind == 'l':
            os.symlink(data, path)
        elif ino in made:
            os.link(made[ino], path)
        else:
            with open(path, 'wb') as f:
                f.write(data)
            os.utime(path, ns=(crash_time, mtime or crash_time))
            os.chmod(path, modes.get(ino, 0o644))  # the journal's key is read only when private
            made[ino] = path
    return made


# ------------------------------------------------------------------ scenarios

def write_file(path, data, mtime):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    os.utime(path, ns=(mtime, mtime))


class World:
    """A scenario's folders at fixed places: the user's folders, a second file system at `other`
    where one can be mounted, the store, the Trash, the journal and the log."""

    def __init__(self, name, child, shim, faults=''):
        self.root = f'{TOP}/{name}'
        self.other = self.root + '/other'
        self.child, self.shim = child, shim
        self.faults = [f.replace('@', '@' + self.root) for f in faults.split(';') if f]
        self.close()
        os.makedirs(self.root)
        # Each state is written anew: on a tmpfs of its own that is quick, where one may be mounted.
        self.mount(self.root, '1g')
        os.makedirs(self.other)
        self.mounted = self.mount(self.other, '1g')

    @staticmethod
    def mount(folder, size):
        return subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=' + size, 'tmpfs', folder],
                              stderr=subprocess.DEVNULL).returncode == 0

    def close(self):
        for folder in (self.other, self.root):
            if os.path.ismount(folder):
                subprocess.run(['umount', '-l', folder])
        shutil.rmtree(self.root, ignore_errors=True)

    def env(self):
        home = self.root + '/home'
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + '/config', XDG_DATA_HOME=home + '/data',
                   XDG_STATE_HOME=home + '/state', QUILLFEN_APP_FOLDER=self.root + '/app')
        faults = self.faults if self.mounted else [f'renameat2=18@{self.other}'] + self.faults
        if faults:  # without a mount, moves into `other` take the way across file systems all the same
            env.update(QUILLFEN_FAULTS=';'.join(faults), LD_PRELOAD=self.shim)
        return env

    def run(self, job, prefix=(), given=b''):
        return subprocess.run([*prefix, self.child, job], env=self.env(), cwd=self.root, capture_output=True,
                              input=given, timeout=120)

    def path(self, sub):
        return f'{self.root}/{sub}'.encode()


class Scenario:
    """Entries (pattern, source, destination, move) over files (folder, name, size); `replace`
    names the files that already lie at their destinations; `job` is what is recorded."""

    def __init__(self, name, entries, files, replace=(), job='run', after_run=False, faults=''):
        self.name, self.entries, self.files, self.replace = name, entries, files, set(replace)
        self.job, self.after_run, self.faults = job, after_run, faults

    def prepare(self, world):
        rng = random.Random(self.name.split('-')[-1])
        old = time.time_ns() - 2 * 86400 * 10**9
        self.expect = []  # (path, bytes, 'copy' | 'move' | 'replaced', destination)
        for sub in ['app', 'home/data', 'home/state', 'home/config/Quillfen']:
            os.makedirs(world.root + '/' + sub, exist_ok=True)
        for pattern, src, dst, move in self.entries:
            os.makedirs(world.root + '/' + src, exist_ok=True)
            for folder, name, size in [f for f in self.files if f[0] == src]:
                data, path, dest = rng.randbytes(size), world.path(f'{src}/{name}'), world.path(f'{dst}/{name}')
                write_file(path, data, old)
                self.expect.append((path, data, 'move' if move else 'copy', dest))
                if name in self.replace:
                    self.expect.append((dest, rng.randbytes(size // 2 + 3), 'replaced', None))
                    write_file(dest, self.expect[-1][1], old)
        lines = ['[AppSettings]', f'sc_Files={len(self.entries)}']
        for n, (pattern, src, dst, move) in enumerate(self.entries, 1):
            lines += [f'sc_File{n}={pattern}', f'sc_Path{n}={world.root}/{src}/', f'sc_Dest{n}={world.root}/{dst}/',
                      f'sc_Move{n}={int(move)}']
        with open(world.root + '/home/config/Quillfen/Quillfen.conf', 'w') as f:
            f.write('\n'.join(lines + ['sc_CompareInterval=0', 'sc_CompareIntType=s']) + '\n')
        self.lists = [self.stored_list(world, snapshot([world.root]))]
        if self.after_run:
            world.run('run')

    def record(self, world, trace):
        command = ['strace', '-f', '-y', '-xx', '-s', '16777216', '-o', trace, '-e', 'trace=' + TRACED]
        if self.job != 'save':
            return world.run(self.job, command)
        # Saving goes on until killed: the first save is recorded, and the operations end with it.
        process = subprocess.Popen([*command, world.child, 'save'], env=world.env(), cwd=world.root,
                                   stderr=subprocess.DEVNULL)
        store = world.root + '/home/config/Quillfen/Quillfen.conf'
        while b'g2-' not in open(store, 'rb').read() and process.poll() is None:
            time.sleep(0.01)
        if process.poll() is None:
            for child in open(f'/proc/{process.pid}/task/{process.pid}/children').read().split():
                os.kill(int(child), 9)
        process.wait()
        self.lists.append(('2200', 'g1-1', 'g1-2200'))

    def cut(self, rec):
        """The saves' operations end where the second save takes the store's lock."""
        if self.job == 'save':
            lock = rec.roots[0] + b'/home/config/Quillfen/Quillfen.conf.lock'
            locks = [k for k, op in enumerate(rec.ops) if op.kind == 'name' and op.link == lock]
            del rec.ops[locks[1]:]

    @staticmethod
    def stored_list(world, state):
        entry = state.get(world.path('home/config/Quillfen/Quillfen.conf'))
        values = dict(re.findall(rb'^(\w+)=(.*)$', entry[2], re.M)) if entry else {}
        count = values.get(b'sc_Files', b'').decode()
        files = [values.get(b'sc_File%d' % n, b'').decode() for n in range(1, int(count or 0) + 1)]
        if files and all(f.split('-')[0] == files[0].split('-')[0] for f in files):
            return count, files[0], files[-1]
        return count, 'mixed' if files else '', ''


def mixed_run(name, each=10, sizes=(0, 1, 100, 4095, 4096, 5000, 9000, 13000, 700, 2), **more):
    """`each` files (50) in each of five entries: moves within one file system and across, copies
    within and across, into folders that exist and folders the run makes, some replacing files."""
    entries = [('*.dat', 'src1', 'dst1', True), ('*.dat', 'src2', 'other/moved', True),
               ('*.dat', 'src3', 'dst3', False), ('*.dat', 'src4', 'other/copied', False),
               ('*.dat', 'src5', 'dst5/new', True)]
    files = [(e[1], f'f{n:02}.dat', sizes[n % len(sizes)])
             for k, e in enumerate(entries) for n in range(k * 10, k * 10 + each)]
    replace = [f[1] for f in files if int(f[1][1:3]) % 5 == 1 and f[0] in ('src1', 'src3', 'src4')]
    return Scenario(name, entries, files, replace, **more)


SCENARIOS = [
    Scenario('move-within', [('*.dat', 'src', 'dst', True)],
             [('src', 'a.dat', 5), ('src', 'b.dat', 10000), ('src', 'c.dat', 1)], replace=['c.dat']),
    Scenario('move-across', [('*.dat', 'src', 'other/new', True), ('*.dat', 'src2', 'other', True)],
             [('src', 'a.dat', 5), ('src', 'b.dat', 10000), ('src2', 'c.dat', 300)], replace=['c.dat']),
    Scenario('copy-replacing', [('*.dat', 'src', 'dst', False)],
             [('src', 'a.dat', 5), ('src', 'b.dat', 10000)], replace=['a.dat', 'b.dat']),
    mixed_run('run-of-50'),
    mixed_run('undo-of-50', job='undo', after_run=True),
    # Placement without nameless files, then without rename flags, then without links: files
    # never empty, so that an empty file is always a claim.
    mixed_run('named-temporary', each=2, sizes=(100, 5000), faults='tmpfile=95@'),
    mixed_run('linked', each=2, sizes=(100, 5000), faults='tmpfile=95@;renameat2=22@'),
    mixed_run('claimed', each=2, sizes=(100, 5000), faults='tmpfile=95@;renameat2=22@;link=1@'),
    Scenario('save-entries', [('*.dat', 'src', 'dst', True)] * 3, [], job='save'),
]


# ------------------------------------------------------------------ the checks

class Checker:
    def __init__(self, sc, world, rec, journals):
        self.sc, self.world, self.rec, self.journals = sc, world, rec, journals
        self.undone = 0  # states in which the undo changed the user's files
        self.contents = {data for _, data, _, _ in sc.expect}
        self.trashes = [(world.path('home/data/Trash'), b''), (world.path('other/.Trash-0'), world.path('other/'))]
        self.log = world.path('app/filelog.txt')

    def show(self, path):
        return self.rec.show(path)

    def users_files(self, state):
        """The bytes at each name that an undo may change: all but the program's own files."""
        own = tuple(self.world.path(sub) for sub in ('app/', 'home/state/', 'home/config/'))
        return {(p, v[2]) for p, v in state.items() if v[0] == 'f' and not p.startswith(own)}

    def trashed(self, state, problems):
        """(original path, bytes) of every file in a Trash that has its whole info file."""
        kept = set()
        for trash, top in self.trashes:
            for path, (kind, _, data, _) in state.items():
                if os.path.dirname(path) != trash + b'/files':
                    continue
                info = state.get(trash + b'/info/' + os.path.basename(path) + b'.trashinfo')
                m = TRASH_INFO.fullmatch(info[2]) if info else None
                if m:
                    kept.add((top + urllib.parse.unquote_to_bytes(m.group(1)), data))
                else:
                    problems.append(f'in the Trash without a whole .trashinfo: {self.show(path)}')
        return kept

    def files(self, state):
        problems = []
        kept = self.trashed(state, problems)
        found = {p: v[2] for p, v in state.items() if v[0] == 'f'}
        for path, data, how, dest in self.sc.expect:
            if found.get(path) == data or (how == 'move' and found.get(dest) == data):
                continue
            if how != 'copy' and ((path, data) in kept or (dest, data) in kept):
                continue
            where = {'copy': 'at its name (a copy never takes its source away)',
                     'move': 'at its source, at its destination or in the Trash',
                     'replaced': 'at its name or in the Trash'}[how]
            problems.append(f'lost, whole nowhere {where}: {self.show(path)}')
        private = (self.world.path('home/'), self.world.path('app/')) + tuple(t + b'/info/' for t, _ in self.trashes)
        for path, data in found.items():
            name = os.path.basename(path)
            temporary = name.startswith(b'.quillfen-') and name.endswith(b'.part')
            trashed = any(os.path.dirname(path) == t + b'/files' for t, _ in self.trashes)
            if (trashed or not path.startswith(private)) and not temporary and data not in self.contents:
                known = KNOWN if not data and path in self.rec.claimed else ''
                problems.append(f'{known}not whole, bytes that no file had: {self.show(path)} ({len(data)} bytes)')
        return problems

    def stored(self, state, probe, saved):
        problems = []
        stored = Scenario.stored_list(self.world, state)
        if stored not in self.sc.lists:
            problems.append(f'the store holds no whole entry list: {stored}')
        elif saved and stored != self.sc.lists[-1]:
            problems.append(f'a save that returned is not on disk: the store holds {stored}')
        read = next((tuple(l.split('\t')[1:]) for l in probe.splitlines() if l.startswith('entries\t')), None)
        if read not in self.sc.lists:
            problems.append(f'the entry list read back is no whole list: {read}')
        return problems

    def journal(self, probe):
        read = [tuple(l.split('\t')[1:]) for l in probe.splitlines() if l.startswith('journal\t')]
        if 'journal state\t2' in probe:  # fails its check
            return ['the journal is refused as edited or damaged']
        if not any(subsequence(read, whole) for whole in self.journals):
            return [f'the journal reads back entries that the run did not write in that order: {len(read)} entries']
        return []

    def log_whole(self, durable, claimed=False):
        """`claimed`: the crash left the log's claimed name empty, which the next writer takes for a log."""
        log = open(self.log, 'rb').read() if os.path.exists(self.log) else b''
        problems = []
        if log and not WHOLE_LOG.fullmatch(log):
            m = re.match(HEADER + RECORD + b'*+', log)
            at = m.end() if m else 0
            problems.append(f'the log holds more than whole records under its header: from byte {at}, '
                            f'{log[at:at + 40]!r}')
        if not log.startswith(durable):
            problems.append(f'the next writer cut back log records that were on disk: {len(durable)} bytes were')
        return [KNOWN + p if claimed else p for p in problems]

    def run(self, job, problems, given=b''):
        """The child's output; its failing is a violation of its own."""
        done = self.world.run(job, given=given)
        if done.returncode != 0:
            problems.append(f'the {job} ended with an error: {done.stderr.decode(errors="replace")[-200:]}')
        return done.stdout.decode(errors='replace')

    def check(self, crash, kept, choice):
        state, _ = crash.build(kept, choice)
        problems = self.files(state)
        log = state.get(self.log)
        durable = crash.version(('data', log[1]), 'base')[0] if log else b''
        claimed = log is not None and not log[2] and self.log in self.rec.claimed
        made = materialise(state, self.world, self.rec.modes)
        probe = self.run('probe', problems)
        if self.sc.job == 'save':
            return problems + self.stored(state, probe, crash.t == len(self.rec.ops))  # then the save returned
        problems += self.journal(probe) + self.stored(state, probe, False) + self.log_whole(durable, claimed)
        # The files written anew have new numbers, which a crash would have left them: the journal
        # is made to name them so, or undo would rightly leave every one of them alone.
        renumbered = [(*self.rec.real[ino][:2], os.stat(path)) for ino, path in made.items() if ino in self.rec.real]
        self.run('reidentify', problems, ''.join(f'{d} {i} {st.st_dev} {st.st_ino} {st.st_ctime_ns // 10**9} '
                                                 f'{st.st_ctime_ns % 10**9}\n' for d, i, st in renumbered).encode())
        self.run('undo', problems)
        after = {p: (k, i, d, m) for p, (i, k, d, m) in snapshot([self.world.root]).items()}
        self.undone += self.users_files(state) != self.users_files(after)
        problems += ['after the undo, ' + p for p in self.files(after)]
        problems += ['after the undo, ' + p for p in self.log_whole(durable, claimed)]
        return problems


def subsequence(part, whole):
    it = iter(whole)
    return all(any(x == y for y in it) for x in part)


# ------------------------------------------------------------------ running it all

def check_scenario(sc, opts):
    world = World(sc.name, opts.child, opts.shim, sc.faults)
    try:
        sc.prepare(world)
        # The journal of the run before, where there was one (the probe writes to the log too).
        journal = world.root + '/home/state/Quillfen/lastrun.journal'
        before = world.run('probe').stdout.decode(errors='replace') if os.path.exists(journal) else ''
        initial_real, final_real = {}, {}
        initial = snapshot([world.root], initial_real)
        trace = f'{TOP}/{sc.name}.trace'
        sc.record(world, trace)
        final = snapshot([world.root], final_real)
        after = world.run('probe').stdout.decode(errors='replace')
        rec = Recording([world.root], initial)
        rec.parse(trace)
        sc.cut(rec)
        rec.finish()
        journals = [[tuple(l.split('\t')[1:]) for l in text.splitlines() if l.startswith('journal\t')]
                    for text in (before, after)]
        # The numbers the journal knows the files by: theirs before the recording, or after it.
        rec.real = {ino: initial_real[path] for path, ino in rec.init_ns.items()}
        if sc.job != 'save':
            for path, (kind, ino, data, mtime) in replay_check(rec, final).items():
                rec.real.setdefault(ino, final_real[path])
        rec.modes = {ino: real[2] for ino, real in rec.real.items()}
        rng = random.Random(opts.seed)
        distinct = {}
        for t in range(len(rec.ops) + 1):
            crash = Crash(rec, t)
            for label, kept, choice in crash.variants(rng, opts.randoms):
                _, key = crash.build(kept, choice)
                # After its last operation, a save has returned and its state must hold more.
                distinct.setdefault((key, sc.job == 'save' and t == len(rec.ops)), (t, label, kept, choice))
        chosen = sorted(distinct.values(), key=lambda s: s[0])
        if len(chosen) > opts.states:
            chosen = sorted(random.Random(opts.seed).sample(chosen, opts.states), key=lambda s: s[0])
        checker = Checker(sc, world, rec, journals)
        violations, known = [], []
        for t, label, kept, choice in chosen:
            crash = Crash(rec, t)
            problems = checker.check(crash, kept, choice)
            for found, which in ([p for p in problems if KNOWN not in p], violations), \
                                ([p for p in problems if KNOWN in p], known):
                if found:
                    lost = crash.lost(kept, choice)
                    count = sum(line.startswith('lost') and not line.startswith('lost: nothing') for line in lost)
                    which.append((count, t, label, found, lost))
        return dict(name=sc.name, ops=len(rec.ops), distinct=len(distinct), checked=len(chosen),
                    violations=sorted(violations, key=lambda v: (v[0], v[1])),
                    known=sorted(known, key=lambda v: (v[0], v[1])), undone=checker.undone, job=sc.job,
                    mounted=world.mounted, texts={v[1]: rec.ops[v[1] - 1].text if v[1] else 'the start'
                                                 for v in violations + known})
    finally:
        world.close()


def replay_check(rec, final):
    """The model with every operation on disk must be the run's real end: else the recorder
    missed something."""
    crash = Crash(rec, len(rec.ops))
    state, _ = crash.build(set(crash.free), {})
    real = {p: (k, d) for p, (i, k, d, m) in final.items()}
    model = {p: (k, d) for p, (k, i, d, m) in state.items()}
    for path in sorted(set(real) | set(model)):
        if real.get(path) != model.get(path):
            raise SystemExit(f'the recording does not replay: {rec.show(path)} is '
                             f'{"there" if path in real else "missing"} after the run, but '
                             f'{"there" if path in model else "missing"} in the model')
    return state


def report(result, shown):
    """A line for the scenario, then per kind of violation the state that loses the fewest
    operations: where the crash came, what went wrong, and which operations it went without."""
    r = result
    print(f'{r["name"]:<15} operations recorded {r["ops"]:>5}   crash states checked {r["checked"]:>5} '
          f'(of {r["distinct"]} distinct)   violations {len(r["violations"])}'
          + ('' if r['job'] == 'save' else f'   undo changed files in {r["undone"]}')
          + ('' if r['mounted'] else '   [one file system: crossing it is simulated]'), flush=True)
    for which, shown_lost in (r['known'], 4), (r['violations'], 8):
        kinds = {}
        for violation in which:
            for problem in violation[3]:
                kinds.setdefault(problem.replace(KNOWN, '').split(': ')[0], []).append((violation, problem))
        for kind, found in list(kinds.items())[:shown]:
            (count, t, label, problems, lost), problem = found[0]
            states = len({id(violation) for violation, _ in found})
            print(f'  {states} state(s): {"known window, not counted: " if which is r["known"] else ""}{kind}; '
                  f'the first, a crash after operation {t} ({r["texts"][t]}), state "{label}":\n    {problem}')
            more = len(lost) - shown_lost
            for line in lost[:shown_lost] + ([f'... and {more} more'] if more > 0 else []):
                print('    ' + line)


# ------------------------------------------------------------------ planted faults

FAULTS = [  # what, file, (text, planted text) pairs, scenario that shows it
    ('the folder flush after a copy takes its name, removed', 'src/transfer/safe_copy.cpp',
     [('    if (durable)\n        raw_file::syncName(placed);\n', '')], 'move-across'),
    ('the source deleted before the copy is flushed (its flush removed)', 'src/transfer/safe_copy.cpp',
     [('    if (::fsync(temp.fd()) != 0)\n        fail(errno, temp.path());\n', '')], 'move-across'),
    ('the .trashinfo written after the file is moved into the Trash', 'src/platform/trash.cpp',
     [('        try {\n            raw_file::writeAll(fd.get(), info, infoPath);',
       '        const bool linked = ::link(path.constData(), kept.constData()) == 0;\n'
       '        if (linked)\n            raw_file::syncName(kept);\n'
       '        try {\n            raw_file::writeAll(fd.get(), info, infoPath);'),
      ('        if (::link(path.constData(), kept.constData()) == 0) {', '        if (linked) {')], 'copy-replacing'),
]


def plant(opts):
    """Copies the tracked tree to a scratch folder, plants each fault there in turn, builds only
    what the recording needs and checks the scenario that shows it: each must be reported."""
    checkout = subprocess.run(['git', 'rev-parse', '--show-toplevel'], capture_output=True, text=True,
                              cwd=os.path.dirname(os.path.abspath(__file__)), check=True).stdout.strip()
    scratch = TOP + '-planted'
    tree, build = scratch + '/tree', scratch + '/build'
    tracked = subprocess.run(['git', 'ls-files', '-z'], cwd=checkout, capture_output=True, check=True).stdout
    for name in tracked.decode().split('\0'):
        source, copy = os.path.join(checkout, name), os.path.join(tree, name)
        if not name or not os.path.isfile(source):
            continue
        # Unchanged files keep their times, so that a second run builds only what changed; a
        # changed one is written now, newer than anything built from what it held before.
        if not os.path.exists(copy) or open(copy, 'rb').read() != open(source, 'rb').read():
            os.makedirs(os.path.dirname(copy), exist_ok=True)
            shutil.copy(source, copy)
    if not os.path.exists(build + '/build.ninja'):
        launcher = ['-DCMAKE_CXX_COMPILER_LAUNCHER=ccache'] if shutil.which('ccache') else []
        subprocess.run(['cmake', '-G', 'Ninja', '-S', tree, '-B', build, '-DCMAKE_BUILD_TYPE=RelWithDebInfo',
                        '-DQUILLFEN_BENCH=OFF', *launcher], stdout=subprocess.DEVNULL, check=True)
    opts.child, opts.shim = build + '/tests/faults/faults_child', build + '/tests/faults/libquillfen_fault_shim.so'
    scenarios, missed = {s.name: s for s in SCENARIOS}, 0
    for what, name, edits, scenario in FAULTS:
        path = os.path.join(tree, name)
        original = text = open(path).read()
        for old, new in edits:
            if text.count(old) != 1:
                raise SystemExit(f'planted faults: {name} no longer holds the code "{old.strip()}"')
            text = text.replace(old, new)
        try:
            with open(path, 'w') as f:
                f.write(text)
            built = subprocess.run(['ninja', '-C', build, '-j', str(opts.jobs), 'faults_child', 'quillfen_fault_shim'],
                                   capture_output=True, text=True)
            if built.returncode:
                raise SystemExit(f'planted faults: the build failed\n{built.stdout[-2000:]}')
            print(f'planted: {what} ({name}), scenario {scenario}:', flush=True)
            result = check_scenario(scenarios[scenario], opts)
        finally:
            with open(path, 'w') as f:
                f.write(original)
        report(result, opts.shown)
        missed += not result['violations']
    print(f'planted faults: {len(FAULTS) - missed} of {len(FAULTS)} reported')
    return 1 if missed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--child', help='the fault suite\'s child program')
    parser.add_argument('--shim', help='the fault shim, for a second file system where none mounts')
    parser.add_argument('--states', type=int, default=10**9, help='crash states checked at most per scenario '
                        '(a seeded sample of the distinct ones; default all)')
    parser.add_argument('--randoms', type=int, default=12, help='random states tried per crash point')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--only', nargs='*', help='scenarios to run (default: all)')
    parser.add_argument('--shown', type=int, default=8, help='kinds of violation shown per scenario')
    parser.add_argument('--jobs', type=int, default=2)
    parser.add_argument('--plant', action='store_true', help='plant each known fault in a scratch build and '
                        'show that it is reported')
    opts = parser.parse_args()
    os.makedirs(TOP, exist_ok=True)
    if opts.plant:
        return plant(opts)
    opts.child, opts.shim = os.path.abspath(opts.child), os.path.abspath(opts.shim)
    scenarios = [s for s in SCENARIOS if not opts.only or s.name in opts.only]
    started, total, bad = time.time(), 0, 0
    with concurrent.futures.ProcessPoolExecutor(opts.jobs) as pool:
        # The long ones first, so that two workers end together; reported in their own order.
        futures = {s.name: pool.submit(check_scenario, s, opts)
                   for s in sorted(scenarios, key=lambda s: '-50' not in s.name)}
        for scenario in scenarios:
            result = futures[scenario.name].result()
            report(result, opts.shown)
            total, bad = total + result['checked'], bad + len(result['violations'])
    print(f'all scenarios: {total} crash states checked, {bad} violations, {time.time() - started:.0f} s')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
