#!/usr/bin/env python3
"""Lists the product functions longer than N lines (default 80), counted from
the line of the opening brace to the closing one; exit status 1 when there
is one. Usage: longfuncs.py [N] [files]; run from the repository's top folder
(tests/ bench/ tools/ and plug-in examples are not product code)."""
import re, subprocess, sys
N = int(sys.argv[1]) if len(sys.argv) > 1 else 80
files = sys.argv[2:] or [f for f in subprocess.run(['git', 'ls-files', '*.cpp', '*.h', '*.c'], capture_output=True, text=True).stdout.split()
         if not f.startswith(('tests/', 'bench/', 'tools/')) and '/examples/' not in f]
def strip(src):
    # blank out comments, strings and chars, keeping newlines
    out = []; i = 0; n = len(src)
    while i < n:
        c = src[i]
        if src.startswith('//', i):
            j = src.find('\n', i); j = n if j < 0 else j; out.append(' ' * (j - i)); i = j
        elif src.startswith('/*', i):
            j = src.find('*/', i + 2); j = n if j < 0 else j + 2; out.append(re.sub(r'[^\n]', ' ', src[i:j])); i = j
        elif src.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', src[i:]); d = m.group(1) if m else ''
            j = src.find(')' + d + '"', i); j = n if j < 0 else j + len(d) + 2; out.append(re.sub(r'[^\n]', ' ', src[i:j])); i = j
        elif c in '"\'':
            j = i + 1
            while j < n and src[j] != c:
                j += 2 if src[j] == '\\' else 1
            out.append(' ' * (j + 1 - i)); i = j + 1
        else:
            out.append(c); i += 1
    return ''.join(out)
res = []
for f in files:
    try: src = strip(open(f, encoding='utf-8', errors='replace').read())
    except Exception: continue
    stack = []  # (kind, line, startpos)
    last = 0; line = 1
    for i, c in enumerate(src):
        if c == '\n': line += 1
        elif c == '{':
            head = src[last:i]
            infunc = any(k == 'f' for k, _, _ in stack)
            kind = 'b'
            if not infunc:
                h = ' '.join(head.split())
                if re.search(r'\b(namespace|class|struct|enum|union)\b', h) and not re.search(r'\)\s*(const)?\s*(noexcept)?\s*(override)?\s*(->.*)?$', h) or 'extern "C"' in h or h.endswith('='):
                    kind = 'n'
                elif ')' in h or h.startswith(('PYBIND', 'TEST')):
                    kind = 'f'
            stack.append((kind, line, head.strip().split('\n')[-1] if head.strip() else ''))
            last = i + 1
        elif c == '}':
            if stack:
                kind, l0, h = stack.pop()
                if kind == 'f' and line - l0 + 1 > N:
                    res.append((line - l0 + 1, f, l0, ' '.join(h.split())[:90]))
            last = i + 1
        elif c == ';':
            last = i + 1
for n, f, l, h in sorted(res, reverse=True): print(f'{n:4d} {f}:{l} {h}')
print(len(res), 'functions over', N, 'lines')
sys.exit(1 if res else 0)
