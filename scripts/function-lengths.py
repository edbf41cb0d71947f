#!/usr/bin/env python3
"""Lists the functions in src/ longer than a limit (default 50 lines, from the
line that opens the body to the line that closes it). A body is a brace block
whose header has a parameter list and is not a control statement, found at file,
namespace or class level; lambdas count towards the function around them.
Exits non-zero when one is longer.  Usage: function-lengths.py [--limit N] [--top N]"""
import os, re, sys

CONTROL = re.compile(r'\b(if|for|while|switch|catch|do|else)\b\s*(\(|$)')
CONTAINER = re.compile(r'\b(namespace|class|struct|union|enum)\b[^()]*$')

def strip(text):
    # Comments, strings and character literals out, line breaks kept.
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i); i = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2); j = n if j < 0 else j + 2
            out.append('\n' * text.count('\n', i, j)); i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(')' + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + '\n' * text.count('\n', i, j)); i = j
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(c + c); i = j + 1
        else:
            out.append(c); i += 1
    return ''.join(out)

def without_preprocessor(text):
    # Directive lines (with their continuations) emptied, line breaks kept.
    lines, continued = text.split('\n'), False
    for i, line in enumerate(lines):
        if continued or line.lstrip().startswith('#'):
            continued = line.endswith('\\')
            lines[i] = ''
    return '\n'.join(lines)

def functions(path):
    text = without_preprocessor(strip(open(path, encoding='utf-8', errors='replace').read()))
    stack, header, line, found = [], '', 1, []
    for c in text:
        if c == '\n':
            line += 1
        if c == '{':
            h = ' '.join(header.split())
            in_function = any(kind == 'function' for kind, _, _ in stack)
            if not in_function and '(' in h and not CONTROL.search(h) and not CONTAINER.search(h.split('(')[0]):
                kind = 'function'
            elif not in_function and CONTAINER.search(h):
                kind = 'container'
            else:
                kind = 'block'
            name = h.split('(')[0].split()[-1] if kind == 'function' and h.split('(')[0].split() else h
            stack.append((kind, line, name))
            header = ''
        elif c == '}':
            if stack:
                kind, start, name = stack.pop()
                if kind == 'function':
                    found.append((line - start + 1, path, start, name))
            header = ''
        elif c == ';':
            header = ''
        else:
            header += c
    return found

def main():
    limit, top = 50, 0
    args = sys.argv[1:]
    if '--limit' in args: limit = int(args[args.index('--limit') + 1])
    if '--top' in args: top = int(args[args.index('--top') + 1])
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
    everything = []
    for dirpath, _, files in os.walk(root):
        for f in sorted(files):
            if f.endswith(('.cpp', '.h')):
                everything += functions(os.path.join(dirpath, f))
    everything.sort(reverse=True)
    rel = lambda p: os.path.relpath(p, os.path.join(root, '..'))
    for length, path, start, name in everything[:top]:
        print(f'{length:4} {rel(path)}:{start} {name}')
    long_ones = [e for e in everything if e[0] > limit]
    for length, path, start, name in long_ones:
        print(f'too long: {rel(path)}:{start} {name} ({length} lines)', file=sys.stderr)
    lengths = sorted(e[0] for e in everything)
    if lengths:
        print(f'{len(lengths)} functions in src/, median {lengths[len(lengths) // 2]} lines, longest {lengths[-1]}; limit {limit}')
    return 1 if long_ones else 0

sys.exit(main())
