#!/usr/bin/env python3
# Writes hand-made damaged GIFs into the folder given: each is small, and each once cost far more
# time and memory than its bytes (frames declaring hundreds of millions of pixels with a little
# data, on the screen or off it; code streams that break off or hold a code the table does not
# hold yet; a file cut short). tests/data/crashers keeps the files it wrote.
#
#   make_reproducers.py FOLDER
import struct, sys, os
def header(w,h,entries_code=1):
    flags=0x80|entries_code
    b=b'GIF89a'+struct.pack('<HHBBB',w,h,flags,0,0)
    n=2<<entries_code
    b+=bytes(x for i in range(n) for x in ((i*97)%256,(i*57)%256,(i*31)%256))
    return b
def pack(codes):
    out=bytearray(); buf=0; cnt=0
    for c,w in codes:
        buf|=c<<cnt; cnt+=w
        while cnt>=8: out.append(buf&255); buf>>=8; cnt-=8
    if cnt: out.append(buf&255)
    return bytes(out)
def subblocks(data):
    out=bytearray()
    for i in range(0,len(data),255):
        ch=data[i:i+255]; out.append(len(ch)); out+=ch
    out.append(0); return bytes(out)
def image(l,t,w,h,data,m=2,flags=0):
    return b'\x2c'+struct.pack('<HHHHB',l,t,w,h,flags)+bytes([m])+subblocks(data)
def gce(flags=0,delay=10,ti=0):
    return b'\x21\xf9\x04'+bytes([flags])+struct.pack('<H',delay)+bytes([ti,0])
def run(pixel, ncodes, m=2, end=True):
    """Codes of one colour in ever longer strings: ncodes codes after the opening clear."""
    clear=1<<m; codes=[(clear,m+1)]; width=m+1; nxt=clear+2; old=None
    for i in range(ncodes):
        if old is None:
            codes.append((pixel,width)); old=pixel; continue
        codes.append((nxt,width)); nxt+=1
        if nxt>(1<<width)-1 and width<12: width+=1
        if nxt>=4095:
            codes.append((clear,width)); width=m+1; nxt=clear+2; old=None
    if end: codes.append((clear+1,width))
    return pack(codes)
def small_frame(pixel=1):
    return gce()+image(0,0,100,100,run(pixel,150))
TRAILER=b'\x3b'
files={}
# A frame far larger than the screen and wholly off it, with a little data.
files['huge-frame-off-the-screen.gif']=header(100,100)+small_frame()+gce()+image(200,0,26762,24101,run(2,900))+TRAILER
# The same frame over the screen: it shows, but its data covers only a corner of it.
files['huge-frame-little-data.gif']=header(100,100)+small_frame()+gce()+image(0,0,26762,24101,run(2,900))+TRAILER
# A huge frame whose code stream breaks off early with a code the table does not hold.
bad=bytearray(run(3,600,end=False)); bad+=pack([(4095,12)])*3
files['huge-frame-bad-code.gif']=header(100,100)+small_frame()+gce()+image(0,0,20000,20000,bytes(bad))+TRAILER
# Many huge frames, each with a little data, partly on the screen.
many=header(300,300)+small_frame()
for i in range(8):
    many+=gce(delay=5)+image(i*30,i*30,16000,16000,run(i%4,60))
files['many-huge-frames.gif']=many+TRAILER
# An interlaced huge frame over the screen, its data ending in the first pass.
files['huge-interlaced-frame-little-data.gif']=header(100,100)+small_frame()+gce()+image(0,0,30000,20000,run(1,700),flags=0x40)+TRAILER
# A huge frame with a little data over a screen as large.
files['huge-screen-huge-frame.gif']=header(30000,30000)+small_frame()+gce()+image(0,0,30000,30000,run(2,900))+TRAILER
# A file that ends in the middle of its second frame's data.
whole=header(100,100)+small_frame()+gce()+image(0,0,100,100,run(2,300))+TRAILER
files['ends-mid-frame.gif']=whole[:len(whole)-60]
out=sys.argv[1]
os.makedirs(out,exist_ok=True)
for name,data in files.items():
    open(os.path.join(out,name),'wb').write(data)
    print(name,len(data))
