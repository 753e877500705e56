#!/usr/bin/env python3
# Writes src/records/SearchFoldTable.inc: the search form of every character of the basic plane whose
# form differs from itself. The form is the character decomposed for compatibility (NFKD), without its
# combining marks, case-folded; Hangul syllables only lower-cased (they would fall apart into jamo), and
# forms longer than three units or outside the basic plane left out. Run: tools/search_fold/make_table.py
# src/records/SearchFoldTable.inc
import unicodedata, sys
def fold(ch):
    c=ord(ch)
    if 0xAC00<=c<=0xD7A3: return ch.lower()
    def strip(s): return ''.join(x for x in unicodedata.normalize('NFKD',s) if unicodedata.category(x)!='Mn' and not unicodedata.combining(x))
    d=strip(strip(ch).casefold())
    if len(d)>3 or any(ord(x)>0xFFFF for x in d):
        d=ch.casefold()
        if len(d)>3 or any(ord(x)>0xFFFF for x in d): d=ch
    return d
entries=[]
for c in range(0x10000):
    if 0xD800<=c<0xE000: continue
    d=fold(chr(c))
    if d!=chr(c): entries.append((c,d))
print(len(entries), sum(1 for e in entries if len(e[1])>1), file=sys.stderr)
out=[]
out.append('// Made by tools/search_fold/make_table.py from the Unicode data of Python %s (Unicode %s): every character of the\n// basic plane whose search form differs from itself, with that form (at most three units, none: dropped).\n' % (sys.version.split()[0], unicodedata.unidata_version))
out.append('// clang-format off\n')
line=''
for c,d in entries:
    units=[ord(x) for x in d]+[0]*(3-len(d))
    item='{0x%04X,%d,{0x%X,0x%X,0x%X}},' % (c,len(d),*units)
    if len(line)+len(item)>110:
        out.append(line+'\n'); line=''
    line+=item
out.append(line+'\n// clang-format on\n')
open(sys.argv[1],'w').write(''.join(out))
