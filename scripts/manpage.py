#!/usr/bin/env python3
"""Writes tolvpack's manual page, in roff, from the program's own help, so
the page says what the program says. Usage: manpage.py TOLVPACK > tolvpack.1
The page's date is SOURCE_DATE_EPOCH's (a release's commit), else today."""
import os
import re
import subprocess
import sys
import time


def run(program, *args):
    # Not a terminal: the help comes wrapped at 80 columns; roff refills it.
    return subprocess.run([program, *args], check=True, capture_output=True, text=True).stdout


def esc(text):
    text = text.replace('\\', '\\e')
    # Options get minus signs (to be typed as shown), words keep their hyphens.
    text = re.sub(r'(?<![\w-])-[\w-]*', lambda option: option.group().replace('-', '\\-'), text)
    return '\\&' + text if text.startswith(('.', "'")) else text


def blocks(help_text):
    """(kind, heading, body): 'usage' and 'para' with their text, 'items' with
    (option or command, description) pairs, 'example' with lines as they are."""
    for block in help_text.strip('\n').split('\n\n'):
        lines = block.split('\n')
        if lines[0].startswith('Usage: '):
            yield 'usage', '', ' '.join(lines)[len('Usage: '):]
        elif lines[0].endswith(':') and len(lines) > 1 and lines[1].startswith('  '):
            heading, body = lines[0][:-1], lines[1:]
            if any(line.startswith('      ') for line in body):  # option, then its description
                pairs = []
                for line in body:
                    if line.startswith('      '):
                        pairs[-1][1] += ' ' + line.strip()
                    else:
                        pairs.append([line.strip(), ''])
                yield 'items', heading, pairs
            elif heading.startswith('Example'):
                yield 'example', heading, [line.strip() for line in body]
            else:  # "  pack     make a JPEG ...": a command, blanks, what it does
                yield 'items', heading, [re.split(r'\s{2,}', line.strip(), maxsplit=1) for line in body]
        else:
            yield 'para', '', ' '.join(lines)


def usage(help_text):
    words = next(body for kind, _, body in blocks(help_text) if kind == 'usage').split()
    command = next((i for i, word in enumerate(words) if not word.islower()), len(words))
    return ['.B ' + esc(' '.join(words[:command])), esc(' '.join(words[command:])), '.br']


def section(help_text, out, top):
    """The help's blocks but its usage; in a section of its own (top) or
    under the command's."""
    for kind, heading, body in blocks(help_text):
        if kind == 'usage':
            continue
        if kind == 'para':
            if top and body.startswith('Exit status: '):
                out += ['.SH "EXIT STATUS"', esc(body[len('Exit status: '):])]
            else:
                out += ['.PP', esc(body)]
            continue
        out.append('.SH ' + heading.upper() if top and kind == 'example' else '.SS ' + heading)
        if kind == 'items':
            for tag, description in body:
                out += ['.TP', '.B ' + esc(tag), esc(description.strip())]
        else:
            out += ['.PP', '.nf', '.RS 4'] + [esc(line) for line in body] + ['.RE', '.fi']


def main():
    program = sys.argv[1]
    version = run(program, '--version').split()[-1]
    main_help = run(program, '--help')
    commands = [name for kind, heading, body in blocks(main_help)
                if kind == 'items' and heading == 'Commands' for name, _ in body]
    helps = {name: run(program, name, '--help') for name in commands}
    epoch = int(os.environ.get('SOURCE_DATE_EPOCH', time.time()))
    date = time.strftime('%Y-%m-%d', time.gmtime(epoch))
    summary = next(body for kind, _, body in blocks(main_help) if kind == 'para')

    out = [f'.TH TOLVPACK 1 {date} "Tolvane {version}" "User Commands"', '.SH NAME',
           'tolvpack \\- ' + esc(summary[0].lower() + summary[1:].rstrip('.')), '.SH SYNOPSIS']
    for text in [main_help, *helps.values()]:
        out += usage(text)
    out.append('.SH DESCRIPTION')
    section(main_help, out, top=True)
    for name, text in helps.items():
        out += ['.SH ' + esc(('tolvpack ' + name).upper())] + usage(text)
        section(text, out, top=False)
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
