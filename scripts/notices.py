#!/usr/bin/env python3
"""Writes the notices a package owes its users, from packaging/copyright
(Debian's machine-readable format, one paragraph per component, naming the
programs that hold it in Linked-Into):
  notices.py zip VERSION OUT   THIRD-PARTY-NOTICES.txt for the Windows programs
  notices.py deb VERSION OUT   the .deb's copyright, for the Linux tolvpack"""
import pathlib
import re
import sys
import textwrap

WINDOWS = ['tolvane.exe', 'tolvinst.exe', 'tolvpack.exe']
SOURCE = pathlib.Path(__file__).resolve().parent.parent / 'packaging' / 'copyright'


def paragraphs(text):
    """Each paragraph as [(field, value)], continuation lines kept."""
    result = []
    for block in re.split(r'\n\s*\n', text.strip('\n')):
        fields = []
        for line in block.split('\n'):
            if line[:1] in (' ', '\t'):
                fields[-1][1] += '\n' + line
            else:
                name, _, value = line.partition(':')
                fields.append([name, value.strip()])
        result.append(fields)
    return result


def field(paragraph, name):
    return next((value for key, value in paragraph if key == name), None)


def licence_names(expression):
    return [name.strip() for name in re.split(r'\s+and\s+|\s+or\s+', expression.split('\n')[0])]


def plain(value):
    """A field's continuation lines as text: the leading blank off, ' .' as an empty line."""
    lines = value.split('\n')
    body = [line[1:] if line.strip() != '.' else '' for line in lines[1:]]
    return '\n'.join(([lines[0]] if lines[0] else []) + body)


def write_zip(parsed, version, out):
    components = [p for p in parsed[1:] if field(p, 'Files') and set(field(p, 'Linked-Into').split()) & set(WINDOWS)]
    texts = {}
    for p in parsed[1:]:
        if not field(p, 'Files'):
            name, _, text = field(p, 'License').partition('\n')
            texts[name] = plain('\n' + text)
    own = components[0]
    title = f'Third-party notices for Tolvane {version}'
    lines = [title, '=' * len(title), '',
             "Tolvane's programs hold, besides Tolvane's own code (LICENSE.txt), these",
             'components, each under the licence given below:', '']
    for program in WINDOWS:
        held = [field(p, 'Component') for p in components[1:] if program in field(p, 'Linked-Into').split()]
        lines.append(textwrap.fill(', '.join(held), 72, initial_indent=f'  {program:<13} ', subsequent_indent=' ' * 16))
    lines += ['', 'This software is based in part on the work of the Independent JPEG Group.', '']
    for paragraph in components:
        if paragraph is own:
            continue
        used = [program for program in WINDOWS if program in field(paragraph, 'Linked-Into').split()]
        lines += ['-' * 72, field(paragraph, 'Component').replace('{version}', version),
                  'In: ' + ', '.join(used), '', 'Copyright:']
        lines += ['  ' + line.strip() for line in field(paragraph, 'Copyright').split('\n')]
        if field(paragraph, 'Comment'):
            lines += ['', plain(field(paragraph, 'Comment'))]
        for name in licence_names(field(paragraph, 'License')):
            lines += ['', f'Licence ({name}):', '', texts[name]]
        lines.append('')
    out.write_text('\n'.join(lines), encoding='utf-8')


def write_deb(parsed, version, out):
    header, *rest = parsed
    kept = [p for p in rest if field(p, 'Files') and 'tolvpack' in field(p, 'Linked-Into').split()]
    used = {name for p in kept for name in licence_names(field(p, 'License'))}
    kept += [p for p in rest if not field(p, 'Files') and field(p, 'License').split('\n')[0] in used]
    blocks = ['\n'.join(f'{key}:{value}' if value.startswith('\n') else f'{key}: {value}' for key, value in p)
              for p in [header] + kept]
    out.write_text('\n\n'.join(blocks).replace('{version}', version) + '\n', encoding='utf-8')


def main():
    kind, version, out = sys.argv[1:4]
    parsed = paragraphs(SOURCE.read_text(encoding='utf-8'))
    (write_zip if kind == 'zip' else write_deb)(parsed, version, pathlib.Path(out))


if __name__ == '__main__':
    main()
