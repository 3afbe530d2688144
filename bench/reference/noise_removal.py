#!/usr/bin/env python3
# Double-precision reference of noise detection, scaling and removal (1 second, 100 %),
# written separately from the C++ engine. Usage: noise_removal.py IN.wav OUT.wav [PARTS].
import numpy as np, struct, sys
N=16384; H=8192
def readwav(p):
    b=open(p,'rb').read()
    ch,rate=struct.unpack('<HI',b[22:28])
    i=b.find(b'data'); n=struct.unpack('<I',b[i+4:i+8])[0]
    return np.frombuffer(b[i+8:i+8+n],dtype='<i2').astype(np.int64).reshape(-1,ch)*256,rate,ch
d,rate,ch=readwav(sys.argv[1]); parts=int(sys.argv[3]) if len(sys.argv)>3 else 1
F=d.shape[0]; store=np.zeros((F+4*H,ch)); store[H:H+F]=d  # zeros past the end for the extra hop
D=N-1; i=np.arange(N); hann=(1-np.cos(2*np.pi*i/D))/2; ana=np.sqrt(1-((2*i-D)/D)**2)
syn=np.where(ana!=0,hann/np.where(ana!=0,ana,1),0)
magnitudes=lambda h,c: np.abs(np.fft.fft(store[h*H:h*H+N,c]*ana))
e=max(1,min(255,(rate*1)//H)); Hh=F//H
rings=[[np.zeros(N) for _ in range(e)] for c in range(ch)]; wp=0
def add(h):
    global wp
    for c in range(ch): rings[c][wp]=magnitudes(h,c)
    wp=(wp+1)%e
for h in range(1,e+1): add(h)
prof=[np.zeros(N) for c in range(ch)]; cand=[np.zeros(N) for c in range(ch)]
q=1e38; I=(Hh-1-e)//parts
for h in range(e+1,Hh):
    add(h)
    lam=np.mean([np.mean(s) for s in rings[0]])
    if q>lam:
        q=lam
        for c in range(ch): cand[c]=np.max(rings[c],axis=0)
    if I==0 or (h-e)%I==0:
        for c in range(ch): prof[c]=np.maximum(prof[c],cand[c])
        q=1e38
for c in range(ch):
    p=prof[c].copy(); w=p.copy()
    for k in range(2,N-2): w[k]=p[k-2:k+3].max()
    prof[c]=w
out=np.zeros_like(store)
for h in range(Hh+2):  # one hop past F div H, so the last frames get both window halves
    for c in range(ch):
        X=np.fft.fft(store[h*H:h*H+N,c]*ana); m=np.abs(X); t=prof[c]
        r=np.where(m>t,t/np.where(m>0,m,1),0); cc=t/2**35; g=np.where(m>t,1-r*r+cc-r*cc,0)
        out[h*H:h*H+N,c]+=np.rint(np.real(np.fft.ifft(X*g))*syn)
res=np.clip(np.trunc(out[H:H+F]/256),-32768,32767).astype(np.int64)
o,_,_=readwav(sys.argv[2]); o=o//256; diff=np.abs(res-o)
print("max diff",diff.max(),"frac nonzero",(diff>0).mean(),"peak",np.abs(o).max(), "in peak", np.abs(d//256).max())
